#!/bin/sh
# Renders Kelvra's dialog as a user sees it, with both settings absent and the first help
# page on show, into docs/kelvra.png. Uses a prefix of its own with a real (virtual) display.
#   tools/screenshot.sh [OUTPUT.png [WINDOWS_VERSION]]
# WINDOWS_VERSION (win98, nt40, win2k, winxp) shows the dialog as on that system.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/install-packages.sh"
# --fresh: a build tree configured with other toolchain flags would keep them.
cmake --preset i686 --fresh >/dev/null
cmake --build --preset i686 --target Kelvra >/dev/null

export WINEPREFIX="$top/build/screenshot-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-prefix.sh "$WINEPREFIX"

if [ -z "${KELVRA_SCREENSHOT_DISPLAY:-}" ]; then
    KELVRA_SCREENSHOT_DISPLAY=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
output=${1:-docs/kelvra.png}
version=${2:-}
tools/wine.sh x86_64 reg delete 'HKCU\Software\Wine\AppDefaults\Kelvra.exe' /f >/dev/null 2>&1 || true
if [ -n "$version" ]; then
    tools/wine.sh x86_64 reg add 'HKCU\Software\Wine\AppDefaults\Kelvra.exe' /v Version /d "$version" /f >/dev/null
fi
key='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
tools/wine.sh x86_64 reg delete "$key" /v DisableDHCPMediaSense /f >/dev/null 2>&1 || true
tools/wine.sh x86_64 reg delete "$key" /v IPAutoconfigurationEnabled /f >/dev/null 2>&1 || true

tools/wine.sh x86_64 explorer /desktop=shot,800x600 build/i686/bin/Kelvra.exe &
for _ in $(seq 1 100); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Kelvra"' && break
    sleep 0.2
done
sleep 2 # let it paint
# Just the dialog: find its frame on the virtual screen and cut it out.
import -window root "$top/build/screenshot-full.png"
geometry=$(xwininfo -root -tree | sed -n 's/.*"Kelvra": ([^)]*) *\([0-9]*x[0-9]*\)+[-0-9]*+[-0-9]* *+\([0-9]*\)+\([0-9]*\).*/\1+\2+\3/p' | head -n 1)
wineserver -k
mkdir -p "$(dirname "$output")"
convert "$top/build/screenshot-full.png" -crop "${geometry:?the dialog did not appear}" +repage \
    "$output"
echo "$output: the dialog at $geometry" >&2
