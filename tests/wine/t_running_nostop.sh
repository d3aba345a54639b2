#!/usr/bin/env bash
# A running service that accepts no stop: the refused request is reported on stderr and the
# run goes on to delete it, which only marks it. A second run then fails on the deletion. The
# pause after the refused request is measured on the exe's own calls, in t_exe_calls.sh.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service nostop
start_service
assert_eq RUNNING "$(service_state)" "service running before the run"
run_tool
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" $'IO error in winapi call\n'

# Marked for deletion and still running.
assert_eq RUNNING "$(service_state)" "service still running, marked for deletion"
run_tool
assert_eq 1 "$RC" "second run: exit status"
assert_file_bytes "$T/out" ""
assert_file_bytes "$T/err" $'IO error in winapi call\n'"$(failure_report 1072)"$'\n'
test_done
