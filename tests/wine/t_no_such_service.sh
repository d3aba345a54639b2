#!/usr/bin/env bash
# No service of that name: the failure report with the platform's message for 1060, exit 1.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
assert_eq absent "$(service_state)" "no service before the run"
run_tool
assert_eq 1 "$RC" "exit status"
assert_file_bytes "$T/out" ""
assert_file_bytes "$T/err" "$(failure_report 1060)"$'\n'
test_done
