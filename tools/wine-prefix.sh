#!/bin/sh
# Creates a Wine prefix for Kelvra, once, whoever asks first.
#   wine-prefix.sh PREFIX [null]
# Every prefix serves both builds: it holds Wine's 32-bit side where 32-bit Wine is installed.
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
wine="$(dirname "$0")/wine.sh"

wine32=$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || true)
runs=$("$(dirname "$0")/wine32.sh" mode 2>/dev/null || echo none)
made_with="$("$wine" x86_64 --version); wine32 ${wine32:-absent} ($runs); driver ${driver:-default}; crash debugger cmd"

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
# Wine's 64-bit wineboot makes both sides of a prefix; it starts 32-bit programs itself where
# 32-bit Wine is installed.
if ! "$wine" x86_64 wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
# One start of Wine's 64-bit reg for all the settings. The crash settings go to both registry
# views: 32-bit programs read theirs under Wow6432Node.
settings="$prefix.settings.reg"
aedebug='Microsoft\Windows NT\CurrentVersion\AeDebug'
{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    if [ "$driver" = null ]; then
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
    fi
    # Wine's crash debugger, winedbg, prints a backtrace and ends the program, but the exit
    # code it leaves is a race: often 0, and then a crashed test passes. Under QEMU it cannot
    # debug the program at all and takes it down with exit code 0. A debugger that exits at
    # once without attaching makes Wine end the program with its exception code, every time.
    # The 64-bit cmd for both views, since it starts natively.
    printf '[HKEY_LOCAL_MACHINE\\Software\\%s]\r\n' "$aedebug"
    printf '"Debugger"="C:\\\\windows\\\\system32\\\\cmd.exe /c exit"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\%s]\r\n' "$aedebug"
    printf '"Debugger"="C:\\\\windows\\\\sysnative\\\\cmd.exe /c exit"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
} >"$settings"
if ! "$wine" x86_64 reg import "Z:$settings" >>"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
# fonts-wine's fonts stand in for MS Sans Serif and the other fonts dialogs ask for.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
# The next start must read the driver setting afresh.
wineserver -w
printf '%s\n' "$made_with" >"$ready"
