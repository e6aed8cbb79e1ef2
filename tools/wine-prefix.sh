#!/bin/sh
# Creates a Wine prefix for Kelvra, once, whoever asks first.
#   wine-prefix.sh PREFIX [null]
# With "null" the prefix is for tests: Wine's null display driver, so that dialogs work without
# any display. In every prefix a program that crashes ends at once with its exception code:
# Wine's crash debugger only prints a backtrace and shows no dialog that would wait for a click.
# Parallel callers wait on a lock; a prefix counts as ready only once fully made.
# The prefix records what it was made with. One made before 32-bit Wine was installed cannot
# start any program afterwards ("could not load kernel32.dll"), so a prefix whose record does
# not match this machine's Wine is made again.
set -eu
prefix=$1
driver=${2:-}
ready="$prefix/.kelvra-ready"

wine32=$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || true)
made_with="$(wine --version); wine32 ${wine32:-absent}; driver ${driver:-default}"

[ "$(cat "$ready" 2>/dev/null)" = "$made_with" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ "$(cat "$ready" 2>/dev/null)" = "$made_with" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A server still running for an old prefix would serve the new one from the old state.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
rm -rf "$prefix"
log="$prefix.log"
echo "Creating the Wine prefix $prefix ($made_with) ..." >&2
if ! wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
if [ "$driver" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1
fi
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
    /d 'winedbg --auto %ld %ld' /f >>"$log" 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1
# fonts-wine's fonts stand in for MS Sans Serif and the other fonts dialogs ask for.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
# The next start must read the driver setting afresh.
wineserver -w
printf '%s\n' "$made_with" >"$ready"
