#!/bin/sh
# Puts small faults into a copy of the product, one at a time, and shows which tests catch
# each: the faults that a test agreeing with the product's own constants would let through.
# Fails if any fault goes uncaught.
#   tools/mutants.sh [x86_64|i686]
# The copy and its build live in build/mutants; the working tree is never changed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x86_64}
copy="$top/build/mutants/src"
"$top/tools/install-packages.sh"

rm -rf "$copy"
"$top/tools/copy-tree.sh" "$copy"
cd "$copy"
git init -q && git add -A && git -c user.name=mutants -c user.email=mutants@localhost commit -qm base
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" >/dev/null

# file # perl substitution # what the fault is
mutants='store/parameter_store.h#s/"DisableDHCPMediaSense"/"DisableDHCPMediaSens"/#a misspelt value name
resources/resource.h#s/IDC_SAVE 1008/IDC_SAVE 1009/#Save renumbered
resources/kelvra.rc#s/DS_SETFONT \| DS_CENTER \|/DS_SETFONT |/#the dialog no longer centred
app/process_entry.cpp#s/CommandLineTail\(GetCommandLineA\(\)\)/GetCommandLineA()/#WinMain handed the whole command line
store/parameter_store.cpp#s/BYTE data\[4\] = \{0, 0, 0, 0\};/BYTE data[4];/#the read buffer not zeroed
dialog/dialog_view.cpp#s/if \(control != NULL\)\n        EnableWindow/EnableWindow/#EnableControl without its lookup check'

printf '%s\n' "$mutants" | while IFS='#' read -r file substitution what; do
    perl -0pi -e "$substitution" "$file"
    if git diff --quiet; then
        echo "NOT APPLIED: $what ($file)"
    elif ! cmake --build --preset "$arch" >../build.log 2>&1; then
        echo "caught by the build: $what"
    else
        failed=$(ctest --test-dir "build/$arch" -j2 2>/dev/null |
            sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Failed)$/\1/p' | tr '\n' ' ')
        if [ -n "$failed" ]; then
            echo "caught: $what, by: $failed"
        else
            echo "MISSED: $what"
        fi
    fi
    git checkout -q -- "$file"
done | tee ../results.txt
! grep -q "^MISSED\\|^NOT APPLIED" ../results.txt
