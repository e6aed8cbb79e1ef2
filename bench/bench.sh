#!/bin/sh
# Times Kelvra's scripted run against the floor (a bare dialog that opens and closes) and
# against the two `reg add` runs that a script would otherwise need, all under Wine with the
# null display driver in a private prefix, with hyperfine. Prints the medians and the ratios.
#   bench/bench.sh [RUNS]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
runs=${1:-40}
tools/install-packages.sh
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Kelvra >/dev/null

out=build/bench
mkdir -p "$out"
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -static -s -mwindows bench/floor.c \
    -o "$out/floor.exe"

export WINEPREFIX="$top/build/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-prefix.sh "$WINEPREFIX" null
# One server for the whole run, so that no run pays for starting it and booting the prefix.
wineserver -k 2>/dev/null || true
wineserver -p 120
trap 'wineserver -k 2>/dev/null || true' EXIT

key='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
absent="wine reg delete '$key' /v DisableDHCPMediaSense /f >/dev/null 2>&1 || true; \
wine reg delete '$key' /v IPAutoconfigurationEnabled /f >/dev/null 2>&1 || true"

# Kelvra exits with 1 when it saved: --ignore-failure keeps hyperfine from stopping there.
hyperfine --warmup 3 --runs "$runs" --ignore-failure --export-json "$out/results.json" \
    --prepare "$absent" -n "Kelvra /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT" \
    "wine build/x86_64/bin/Kelvra.exe /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT" \
    --prepare true -n "floor: bare dialog" "wine $out/floor.exe" \
    --prepare "$absent" -n "reg add x2" \
    "wine reg add '$key' /v DisableDHCPMediaSense /t REG_DWORD /d 1 /f >/dev/null && \
wine reg add '$key' /v IPAutoconfigurationEnabled /t REG_DWORD /d 0 /f >/dev/null"

python3 - "$out/results.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: r["median"] for r in results}
kelvra, floor, reg = (r["median"] for r in results)
print()
print("| command | median |")
print("|---|---|")
for r in results:
    print(f"| {r['command']} | {r['median'] * 1000:.0f} ms |")
print()
print(f"Kelvra / floor      = {kelvra / floor:.2f}  (goal <= 1.15)")
print(f"Kelvra / reg add x2 = {kelvra / reg:.2f}  (goal <= 0.30)")
PY
