#!/usr/bin/env bash
# An installed service that is not running is deleted straight away.
# That it makes no pause, no timer and no sleep is asserted on its calls, in t_exe_calls.sh.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service stop
assert_eq STOPPED "$(service_state)" "service installed and stopped"
run_tool
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "service gone afterwards"
test_done
