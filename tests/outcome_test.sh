#!/bin/sh
# Runs a check on a fixture and fails unless the check judged as it must: the way a test shows
# that a check can fail at all.
#   outcome_test.sh pass COMMAND [ARGUMENTS...]      the command must succeed
#   outcome_test.sh PATTERN COMMAND [ARGUMENTS...]   the command must fail, and its output must
#                                                    match PATTERN (grep's basic expression)
set -u
expected=$1
shift
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$expected" = pass ]; then
    exit $status
fi
if [ $status -eq 0 ]; then
    echo "the command succeeded, where it must fail with \"$expected\""
    exit 1
fi
if ! printf '%s\n' "$output" | grep -q "$expected"; then
    echo "the command failed, but without \"$expected\""
    exit 1
fi
