#!/bin/sh
# Runs a Windows test program under Wine in a private, headless prefix; the tests' emulator.
#   wine-run.sh i686|x86_64 PREFIX PROGRAM [ARGUMENTS...]
# Wine's daemons inherit the first process's stderr and outlive it by seconds; they get a
# file instead of the test runner's pipe, and the file is passed on afterwards.
arch=$1
prefix=$2
shift 2
tools=$(dirname "$0")
"$tools/wine-prefix.sh" "$prefix" null || exit 1

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# How many times longer than natively the test may wait for the programs it starts, and
# whether they run emulated, where a few of Windows' answers differ (tests/wine_test.cpp).
KELVRA_TIME_FACTOR=$("$tools/wine32.sh" time-factor "$arch") || exit 1
KELVRA_EMULATED=0
[ "$arch" = x86_64 ] || [ "$("$tools/wine32.sh" mode)" = native ] || KELVRA_EMULATED=1
export KELVRA_TIME_FACTOR KELVRA_EMULATED
# KELVRA_WINDOWS_VERSION (win98, nt40, win2k, winxp) makes Wine report that version to the
# program, which reads it when it starts. HKCU\Software is one key for both widths, so
# Wine's 64-bit reg, the quicker to start, sets it for either.
if [ -n "${KELVRA_WINDOWS_VERSION:-}" ]; then
    "$tools/wine.sh" x86_64 reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")" \
        /v Version /d "$KELVRA_WINDOWS_VERSION" /f >/dev/null 2>&1 || exit 1
fi
log=$(mktemp)
# Where Wine's own messages go: a test that lets a channel through (WINEDEBUG in the environment
# of a program it starts) reads what Wine logs there, the restart requests among them.
export KELVRA_WINE_LOG="$log"
"$tools/wine.sh" "$arch" "$@" 2>"$log"
rc=$?
cat "$log" >&2
rm -f "$log"
exit $rc
