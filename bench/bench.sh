#!/bin/sh
# Times Kelvra's scripted run, for the i686 and the x86_64 build, on this machine and on "another"
# one (this one by its name, through the remote registry: a connection that answers at once, made
# by the worker thread that bounds it), against two references:
#  - the floor of the same build (bench/floor.cpp): Kelvra's own dialog template, resources and
#    process entry, opened and closed by a program with no logic of its own;
#  - the two `reg add` runs that a script would otherwise need.
# All under Wine with the null display driver, in a private prefix, with one wineserver for the
# whole run. Whole Wine processes are noisy and bimodal, so the three commands run interleaved,
# round after round, each after the same preparation (both values deleted), and the summary
# gives the fastest runs and the median of the per-round ratios.
# Where this machine runs 32-bit programs only under QEMU's emulation (tools/wine32.sh), the i686
# figures are emulated ones: Kelvra, its floor and the 32-bit reg alike, so that their ratios
# still compare like with like, but not with native figures.
#   bench/bench.sh [ROUNDS]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
rounds=${1:-20}
tools/install-packages.sh
i686_runs=$(tools/wine32.sh mode)
for arch in i686 x86_64; do
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" --target Kelvra kelvra_floor >/dev/null
done

export WINEPREFIX="$top/build/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-server.sh start "$WINEPREFIX"
trap 'tools/wine-server.sh stop "$WINEPREFIX"' EXIT

key='HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters'
prepare() {
    tools/wine.sh x86_64 reg delete "$key" /v DisableDHCPMediaSense /f >/dev/null 2>&1 || true
    tools/wine.sh x86_64 reg delete "$key" /v IPAutoconfigurationEnabled /f >/dev/null 2>&1 || true
}
# A machine as Kelvra's users have it: two network cards taking their addresses from DHCP,
# one of them with APIPA off of its own (KB 244268), so that every run reads the adapters as
# it would there. Laid out once; the preparation above leaves them alone.
interfaces="$key\\Interfaces"
for adapter in '{B0000000-0000-0000-0000-000000000001}' '{B0000000-0000-0000-0000-000000000002}'; do
    tools/wine.sh x86_64 reg add "$interfaces\\$adapter" /v EnableDHCP /t REG_DWORD /d 1 /f >/dev/null
done
tools/wine.sh x86_64 reg add "$interfaces\\{B0000000-0000-0000-0000-000000000001}" \
    /v IPAutoconfigurationEnabled /t REG_DWORD /d 0 /f >/dev/null
tools/wine.sh x86_64 reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Network\{4D36E972-E325-11CE-BFC1-08002BE10318}\{B0000000-0000-0000-0000-000000000001}\Connection' \
    /v Name /d "Local Area Connection 2" /f >/dev/null
now() {
    date +%s%N
}
# time_run ARCH NAME COMMAND...: one prepared, timed run, as "arch<TAB>name<TAB>nanoseconds".
time_run() {
    arch=$1
    name=$2
    shift 2
    prepare
    start=$(now)
    "$@" >/dev/null 2>&1 || true # Kelvra exits with 1 when it saved
    printf '%s\t%s\t%s\n' "$arch" "$name" $(($(now) - start))
}
reg_add_twice() {
    tools/wine.sh "$arch" reg add "$key" /v DisableDHCPMediaSense /t REG_DWORD /d 1 /f &&
        tools/wine.sh "$arch" reg add "$key" /v IPAutoconfigurationEnabled /t REG_DWORD /d 0 /f
}

# The one name by which Wine's remote registry reaches a machine: this one's.
own=$(tools/wine.sh x86_64 cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')

out=build/bench
mkdir -p "$out"
: >"$out/times.tsv"
for arch in i686 x86_64; do
    bin=build/$arch/bin
    # Warm-up: the first starts load Wine's files into the page cache.
    for _ in 1 2 3; do
        tools/wine.sh "$arch" "$bin/Kelvra.exe" /QUIT >/dev/null 2>&1
        tools/wine.sh "$arch" "$bin/kelvra_floor.exe" >/dev/null 2>&1
    done
    round=0
    while [ "$round" -lt "$rounds" ]; do
        time_run "$arch" kelvra tools/wine.sh "$arch" "$bin/Kelvra.exe" /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT
        time_run "$arch" remote tools/wine.sh "$arch" "$bin/Kelvra.exe" "/COMPUTER=$own" /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT
        time_run "$arch" floor tools/wine.sh "$arch" "$bin/kelvra_floor.exe"
        time_run "$arch" reg_add reg_add_twice
        round=$((round + 1))
    done >>"$out/times.tsv"
done

python3 - "$out/times.tsv" "$rounds" "$i686_runs" <<'PY'
import collections, statistics, sys
times = collections.defaultdict(list)
for line in open(sys.argv[1]):
    arch, name, ns = line.split("\t")
    times[arch, name].append(int(ns) / 1e6)
print(f"\n{sys.argv[2]} interleaved rounds per build; times in ms; i686 {sys.argv[3]}, x86_64 native\n")
print("| build | command | fastest | median |")
print("|---|---|---|---|")
shown = {"i686": "i686 (emulated)" if sys.argv[3] == "emulated" else "i686", "x86_64": "x86_64"}
labels = {"kelvra": "Kelvra /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
          "remote": "the same with /COMPUTER=(this machine's name)",
          "floor": "floor: Kelvra's dialog, no logic", "reg_add": "reg add, twice"}
for arch in ("i686", "x86_64"):
    for name in ("kelvra", "remote", "floor", "reg_add"):
        t = times[arch, name]
        print(f"| {shown[arch]} | {labels[name]} | {min(t):.0f} | {statistics.median(t):.0f} |")
print()
for arch in ("i686", "x86_64"):
    k, f, r = (times[arch, n] for n in ("kelvra", "floor", "reg_add"))
    pairs = statistics.median(a / b for a, b in zip(k, f))
    print(f"{shown[arch]}: Kelvra / floor = {min(k) / min(f):.2f} fastest, {pairs:.2f} median of rounds;"
          f" Kelvra / reg add x2 = {min(k) / min(r):.2f} fastest,"
          f" {statistics.median(a / b for a, b in zip(k, r)):.2f} median of rounds")
    m = times[arch, "remote"]
    print(f"{shown[arch]}: remote / local Kelvra = {min(m) / min(k):.2f} fastest,"
          f" {statistics.median(a / b for a, b in zip(m, k)):.2f} median of rounds")
PY
