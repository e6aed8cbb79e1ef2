#!/bin/sh
# Runs a Windows test program under Wine in a private, headless prefix; the tests' emulator.
#   wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# Wine's daemons inherit the first process's stderr and outlive it by seconds; they get a
# file instead of the test runner's pipe, and the file is passed on afterwards.
prefix=$1
shift
"$(dirname "$0")/wine-prefix.sh" "$prefix" null || exit 1

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log=$(mktemp)
wine "$@" 2>"$log"
rc=$?
cat "$log" >&2
rm -f "$log"
exit $rc
