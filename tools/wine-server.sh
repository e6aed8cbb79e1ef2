#!/bin/sh
# Keeps one wineserver up for a whole test run, so that no test's program starts while the
# server is shutting down (Debian's wineserver quits as soon as its last program ends, and a
# program started at that moment can fail before it runs: "ShellExecuteEx failed").
#   wine-server.sh start PREFIX   make the prefix if needed, start a server, boot the prefix
#   wine-server.sh stop PREFIX    stop that server and Wine's own programs
# The server stays up while programs run and for a minute after the last one, so that a run
# that is interrupted leaves nothing behind for long.
set -eu
action=$1
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

case $action in
    start)
        "$(dirname "$0")/wine-prefix.sh" "$prefix" null
        wineserver -k 2>/dev/null || true
        wineserver -w
        # Nothing of the server's or of Wine's background programs may hold the caller's output:
        # a test runner reads it until every holder has gone, and these stay up.
        wineserver -p60 </dev/null >/dev/null 2>&1
        # Wine's services are 64-bit programs: booting never waits for an emulated start.
        "$(dirname "$0")/wine.sh" x86_64 cmd /c exit </dev/null >"$prefix.boot.log" 2>&1
        ;;
    stop)
        wineserver -k 2>/dev/null || true
        ;;
    *)
        echo "usage: wine-server.sh start|stop PREFIX" >&2
        exit 2
        ;;
esac
