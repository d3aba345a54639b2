#!/usr/bin/env bash
# A running service that accepts no stop: the refused request is reported on stderr and the
# run goes on to delete it, which only marks it. A second run then fails on the deletion.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
# Yardstick for the pause: a run that sends no request.
run_tool
baseline_ms=$ELAPSED_MS
assert_eq 1 "$RC" "run without a service: exit status"

install_service nostop
start_service
assert_eq RUNNING "$(service_state)" "service running before the run"
run_tool
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" $'IO error in winapi call\n'
assert_ge "$ELAPSED_MS" 1000 "run with a stop request took at least 1 s"
assert_ge "$((ELAPSED_MS - baseline_ms))" 500 "pause: ms more than a run that sends no request"

# Marked for deletion and still running.
assert_eq RUNNING "$(service_state)" "service still running, marked for deletion"
run_tool
assert_eq 1 "$RC" "second run: exit status"
assert_file_bytes "$T/out" ""
assert_file_bytes "$T/err" $'IO error in winapi call\n'"$(failure_report 1072)"$'\n'
test_done
