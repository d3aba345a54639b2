#!/usr/bin/env bash
# A running service that accepts a stop: it is stopped, then deleted. The one-second pause
# between the two is measured on the exe's own calls, in t_exe_calls.sh.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service stop
start_service
assert_eq RUNNING "$(service_state)" "service running before the run"
run_tool
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
# Stopped within the pause on a quiet machine; on a busy one the service may still be stopping
# when it is deleted, and goes once it has stopped.
wait_for_state absent
assert_eq absent "$(service_state)" "service gone afterwards"
test_done
