#!/usr/bin/env bash
# Command-line arguments are ignored: the same outcome as without them.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service stop
run_tool --force x y
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "service gone afterwards"
run_tool --force x y
assert_eq 1 "$RC" "exit status once it is gone"
assert_file_bytes "$T/out" ""
assert_file_bytes "$T/err" "$(failure_report 1060)"$'\n'
test_done
