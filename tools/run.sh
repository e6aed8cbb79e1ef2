#!/bin/sh
# Builds Kelvra.exe and runs it under Wine with the arguments given, e.g.
#   tools/run.sh /MEDIASENSE=OFF /SAVE /QUIT
#   tools/run.sh --x86_64 /MEDIASENSE=OFF /SAVE /QUIT
# It runs the i686 build, the one that ships, under 32-bit Wine (emulated where the kernel cannot
# start 32-bit programs: tools/wine32.sh); --x86_64 runs the 64-bit one.
# It works on a project-local Wine prefix, .wineprefix, unless WINEPREFIX names another, so
# that it reads and writes that prefix's registry. It ends with Kelvra's exit code.
# Without a display it runs on a virtual one (xvfb-run): fine for scripted runs, but nobody
# can click a window that nobody sees.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
arch=i686
if [ "${1:-}" = --x86_64 ]; then
    arch=x86_64
    shift
fi
"$top/tools/install-packages.sh"

if [ -z "${DISPLAY:-}" ]; then
    echo "No display: Kelvra runs on a virtual one." >&2
    [ "$arch" = i686 ] || set -- --x86_64 "$@"
    KELVRA_VIRTUAL_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

cd "$top"
# --fresh: a build tree configured with other toolchain flags would keep them.
cmake --preset "$arch" --fresh >/dev/null
cmake --build --preset "$arch" --target Kelvra >/dev/null

if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$top/.wineprefix"
    tools/wine-prefix.sh "$WINEPREFIX"
fi
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="

set +e
tools/wine.sh "$arch" "build/$arch/bin/Kelvra.exe" "$@"
code=$?
set -e
# Wine's daemons hold the virtual display for a moment after the program; let them go first.
[ -z "${KELVRA_VIRTUAL_DISPLAY:-}" ] || wineserver -w
echo "Kelvra.exe exited with code $code" >&2
exit $code
