#!/bin/sh
# Runs the Pentium check on a fixture and fails unless it judged as it must.
#   cpu_check_test.sh OBJDUMP FIXTURE pass       the check must pass
#   cpu_check_test.sh OBJDUMP FIXTURE MNEMONIC   the check must fail and name MNEMONIC
set -u
output=$(sh "$(dirname "$0")/../tools/check-pentium.sh" "$1" "$2" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$3" = pass ]; then
    exit $status
fi
if [ $status -eq 0 ]; then
    echo "the check passed code that a Pentium cannot run"
    exit 1
fi
if ! printf '%s\n' "$output" | grep -q "not on a Pentium: .*$3"; then
    echo "the check failed, but did not name $3"
    exit 1
fi
