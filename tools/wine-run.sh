#!/bin/sh
# Runs a Windows test program under Wine in a private, headless prefix; the tests' emulator.
#   wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# Wine's daemons inherit the first process's stderr and outlive it by seconds; they get a
# file instead of the test runner's pipe, and the file is passed on afterwards.
prefix=$1
shift
"$(dirname "$0")/wine-prefix.sh" "$prefix" null || exit 1

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# KELVRA_WINDOWS_VERSION (win98, nt40, win2k, winxp) makes Wine report that version to the
# program, which reads it when it starts.
if [ -n "${KELVRA_WINDOWS_VERSION:-}" ]; then
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$1")" /v Version \
        /d "$KELVRA_WINDOWS_VERSION" /f >/dev/null 2>&1 || exit 1
fi
log=$(mktemp)
wine "$@" 2>"$log"
rc=$?
cat "$log" >&2
rm -f "$log"
exit $rc
