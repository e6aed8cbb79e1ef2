#!/bin/sh
# Creates a Wine prefix for Kelvra, once, whoever asks first.
#   wine-prefix.sh PREFIX [null]
# With "null" the prefix is for tests: Wine's null display driver, so that dialogs work without
# any display, and no crash debugger, so that a crashing test ends instead of waiting.
# Parallel callers wait on a lock; a prefix counts as ready only once fully made.
set -eu
prefix=$1
driver=${2:-}
ready="$prefix/.kelvra-ready"

[ -f "$ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$ready" ] && exit 0

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
log="$prefix.log"
echo "Creating the Wine prefix $prefix ..." >&2
if ! wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
if [ "$driver" = null ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
        >>"$log" 2>&1
fi
# fonts-wine's fonts stand in for MS Sans Serif and the other fonts dialogs ask for.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
# The next start must read the driver setting afresh.
wineserver -w
touch "$ready"
