#!/bin/sh
# Renders Kelvra's dialog as a user sees it, with both settings absent and the first help
# page on show, into docs/kelvra.png; or, with "list", a list run's window in the middle of
# the run and at its end, into docs/kelvra-list-running.png and docs/kelvra-list-done.png.
# Uses a prefix of its own with a real (virtual) display.
#   [ARCH=i686|x86_64] tools/screenshot.sh [OUTPUT.png [WINDOWS_VERSION]]
#   [ARCH=i686|x86_64] tools/screenshot.sh list [RUNNING.png DONE.png]
# WINDOWS_VERSION (win98, nt40, win2k, winxp) shows the dialog as on that system. ARCH is the
# build shown, by default the one that ships; the two look the same.
# The list is this machine (Wine's remote registry reaches only itself) and 59 names that no
# machine answers to, so that most rows fail with 53 at once; the first shot is taken while
# the first children still run, the second once the report has all 60 lines.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
arch=${ARCH:-i686}
"$top/tools/install-packages.sh"
# --fresh: a build tree configured with other toolchain flags would keep them.
cmake --preset "$arch" --fresh >/dev/null
cmake --build --preset "$arch" --target Kelvra >/dev/null

export WINEPREFIX="$top/build/screenshot-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-prefix.sh "$WINEPREFIX"

if [ -z "${KELVRA_SCREENSHOT_DISPLAY:-}" ]; then
    KELVRA_SCREENSHOT_DISPLAY=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
tools/wine.sh x86_64 reg delete 'HKCU\Software\Wine\AppDefaults\Kelvra.exe' /f >/dev/null 2>&1 || true
key='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
tools/wine.sh x86_64 reg delete "$key" /v DisableDHCPMediaSense /f >/dev/null 2>&1 || true
tools/wine.sh x86_64 reg delete "$key" /v IPAutoconfigurationEnabled /f >/dev/null 2>&1 || true

# Waits for the window called "Kelvra" to show.
wait_for_window() {
    for _ in $(seq 1 100); do
        xwininfo -root -tree 2>/dev/null | grep -q '"Kelvra"' && return 0
        sleep 0.2
    done
}

# Just the window: find its frame on the virtual screen and cut it out into $1.
shoot() {
    sleep 0.5 # a window that has just been moved or resized is read where it was put
    import -window root "$top/build/screenshot-full.png"
    geometry=$(xwininfo -root -tree | sed -n 's/.*"Kelvra": ([^)]*) *\([0-9]*x[0-9]*\)+[-0-9]*+[-0-9]* *+\([0-9]*\)+\([0-9]*\).*/\1+\2+\3/p' | head -n 1)
    mkdir -p "$(dirname "$1")"
    convert "$top/build/screenshot-full.png" -crop "${geometry:?the window did not appear}" \
        +repage "$1"
    echo "$1: the window at $geometry" >&2
}

if [ "${1:-}" = list ]; then
    running=${2:-docs/kelvra-list-running.png}
    done=${3:-docs/kelvra-list-done.png}
    folder="$top/build/screenshot-list"
    mkdir -p "$folder"
    cp "build/$arch/bin/Kelvra.exe" "$folder/Kelvra.exe"
    own=$(tools/wine.sh x86_64 cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
    {
        printf '%s\r\n' "$own"
        for i in $(seq -w 2 60); do
            printf 'pc%s\r\n' "$i"
        done
    } >"$folder/machines.txt"
    rm -f "$folder/report.csv"
    (cd "$folder" && "$top/tools/wine.sh" x86_64 explorer /desktop=shot,800x600 Kelvra.exe \
        /COMPUTER=@machines.txt /MEDIASENSE=OFF /SAVE >report.csv) &
    wait_for_window
    sleep 2 # the first children started, the rest waiting
    shoot "$running"
    # The report has every line once the run is over; then the window says "All done".
    for _ in $(seq 1 300); do
        [ "$(wc -l <"$folder/report.csv")" -lt 60 ] || break
        sleep 1
    done
    sleep 2 # let it paint
    shoot "$done"
    wineserver -k
    exit 0
fi

output=${1:-docs/kelvra.png}
version=${2:-}
if [ -n "$version" ]; then
    tools/wine.sh x86_64 reg add 'HKCU\Software\Wine\AppDefaults\Kelvra.exe' /v Version /d "$version" /f >/dev/null
fi
tools/wine.sh x86_64 explorer /desktop=shot,800x600 "build/$arch/bin/Kelvra.exe" &
wait_for_window
sleep 2 # let it paint
shoot "$output"
wineserver -k
