#!/bin/sh
# Times reading a list of machines at the size limit, 419,430 short names of which one in ten is
# given again in other letter case, with its duplicates found (bench/list_read_bench.cpp), for
# the i686 and the x86_64 build under Wine. Where 32-bit programs run only under QEMU
# (tools/wine32.sh), the i686 figures are emulated.
#   bench/list-read-bench.sh [LINES] [ROUNDS] [ARCH...]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
lines=${1:-419430}
rounds=${2:-5}
shift 2 2>/dev/null || shift $#
arches=${*:-i686 x86_64}
tools/install-packages.sh
export WINEPREFIX="$top/build/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-server.sh start "$WINEPREFIX"
trap 'tools/wine-server.sh stop "$WINEPREFIX"' EXIT
for arch in $arches; do
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" --target list_read_bench >/dev/null
    printf '%s: ' "$arch"
    (cd "build/$arch/bin" && "$top/tools/wine.sh" "$arch" list_read_bench.exe "$lines" "$rounds")
done
