#!/bin/bash
# Starts two copies of PROGRAM at once through scripts/wine-run, as ctest starts two test
# programs; each sets the application-data folder to its own value, waits until the other
# has set its own, then checks that it still sees its own.
#
#   run_side_by_side.sh PROGRAM MEET_DIR
set -uo pipefail
program=$1
meet=$2
run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run
rm -rf "$meet"
mkdir -p "$meet"
DOSSIQ_ISOLATION_SELF=first DOSSIQ_ISOLATION_OTHER=second DOSSIQ_ISOLATION_MEET=$meet \
    "$run" --name test_isolation_first "$program" --gtest_color=no 2>&1 | sed 's/^/[first] /' &
first=$!
DOSSIQ_ISOLATION_SELF=second DOSSIQ_ISOLATION_OTHER=first DOSSIQ_ISOLATION_MEET=$meet \
    "$run" --name test_isolation_second "$program" --gtest_color=no 2>&1 | sed 's/^/[second] /' &
second=$!
status=0
wait $first || status=1
wait $second || status=1
exit $status
