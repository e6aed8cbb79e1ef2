#!/bin/sh
# Times a list run (/COMPUTER=@list) against the same machines one after another in a batch
# loop, for the i686 and the x86_64 build, under Wine with the null display driver, in a private
# prefix, one wineserver for the whole run. The list holds this machine by its name once and
# unknown names for the rest: Wine reaches only itself, and answers any other name at once
# (53), so what is measured is the run's own cost, a Kelvra start per machine, and how well the
# list run spreads those starts, not any network. The two commands run interleaved, round after
# round, each writing its report to a file; the summary gives the fastest and the median, and
# counts the lines and the failures other than 53 (none are expected). The time limit is long:
# where 32-bit Wine is emulated, 32 children starting at once take most of a minute to start,
# which the default limit and its margin (50 s) would take for machines that do not answer.
# Where 32-bit programs run only under QEMU (tools/wine32.sh), the i686 figures are emulated.
# The list run goes twice: with /QUIT ("list") and without it ("window"), where Kelvra's window
# shows a row per machine and bench/close_when_done.exe presses Close once it says "All done";
# the two must take the same time. RUNS names the runs to time, by default all three.
#   [RUNS="list window loop"] bench/list-bench.sh [MACHINES] [ROUNDS] [ARCH...]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
machines=${1:-200}
rounds=${2:-3}
shift 2 2>/dev/null || shift $#
arches=${*:-i686 x86_64}
tools/install-packages.sh
for arch in $arches; do
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" --target Kelvra >/dev/null
done

runs=${RUNS:-list window loop}
mkdir -p build/list-bench
x86_64-w64-mingw32-g++ -O2 -static -o build/list-bench/close_when_done.exe bench/close_when_done.cpp

export WINEPREFIX="$top/build/bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tools/wine-server.sh start "$WINEPREFIX"
trap 'tools/wine-server.sh stop "$WINEPREFIX"' EXIT

out=build/list-bench
mkdir -p "$out"
own=$(tools/wine.sh x86_64 cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
{
    printf '%s\r\n' "$own"
    i=2
    while [ "$i" -le "$machines" ]; do
        printf 'no-such-%s\r\n' "$i"
        i=$((i + 1))
    done
} >"$out/machines.txt"
printf '%s\r\n' '@echo off' \
    'for /f %%m in (machines.txt) do Kelvra.exe /COMPUTER=%%m /MEDIASENSE=OFF /SAVE /QUIT /TIMEOUT=300 >>loop.csv' \
    >"$out/loop.cmd"
printf '%s\r\n' '@echo off' \
    'Kelvra.exe /COMPUTER=@machines.txt /MEDIASENSE=OFF /SAVE /QUIT /TIMEOUT=300 >list.csv' >"$out/list.cmd"
printf '%s\r\n' '@echo off' 'start "" close_when_done.exe 3600' \
    'Kelvra.exe /COMPUTER=@machines.txt /MEDIASENSE=OFF /SAVE /TIMEOUT=300 >window.csv' \
    >"$out/window.cmd"

now() {
    date +%s%N
}
: >"$out/times.tsv"
for arch in $arches; do
    cp "build/$arch/bin/Kelvra.exe" "$out/Kelvra.exe"
    round=0
    while [ "$round" -lt "$rounds" ]; do
        for how in $runs; do
            rm -f "$out/$how.csv"
            start=$(now)
            (cd "$out" && "$top/tools/wine.sh" x86_64 cmd /c "$how.cmd" >/dev/null 2>&1) || true
            printf '%s\t%s\t%s\t%s\t%s\n' "$arch" "$how" $(($(now) - start)) \
                "$(wc -l <"$out/$how.csv")" \
                "$(grep -c -v ',53,\|changed\|as asked' "$out/$how.csv")" >>"$out/times.tsv"
        done
        round=$((round + 1))
    done
done

python3 - "$out/times.tsv" "$machines" "$rounds" "$(tools/wine32.sh mode)" <<'PY'
import collections, statistics, sys
times = collections.defaultdict(list)
lines, others = {}, {}
for row in open(sys.argv[1]):
    arch, how, ns, count, other = row.split("\t")
    times[arch, how].append(int(ns) / 1e9)
    lines[arch, how] = int(count)
    others[arch, how] = others.get((arch, how), 0) + int(other)
print(f"\n{sys.argv[2]} machines, {sys.argv[3]} interleaved rounds; seconds; i686 {sys.argv[4]}\n")
print("| build | run | lines | other failures | fastest | median | per machine |")
print("|---|---|---|---|---|---|---|")
for arch, how in sorted(times):
    t = times[arch, how]
    print(f"| {arch} | {how} | {lines[arch, how]} | {others[arch, how]} | {min(t):.1f} |"
          f" {statistics.median(t):.1f} | {1000 * statistics.median(t) / int(sys.argv[2]):.0f} ms |")
for arch in sorted({a for a, _ in times}):
    l, o, w = times[arch, "list"], times.get((arch, "loop")), times.get((arch, "window"))
    if o:
        print(f"{arch}: the loop takes {statistics.median(o) / statistics.median(l):.1f} times as"
              f" long as the list run (medians)")
    if w:
        print(f"{arch}: the list run with its window takes {min(w) / min(l):.2f} times as long as"
              f" with /QUIT (fastest), {statistics.median(w) / statistics.median(l):.2f} (medians)")
PY
