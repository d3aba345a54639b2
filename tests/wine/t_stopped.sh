#!/usr/bin/env bash
# An installed service that is not running is deleted straight away.
# That this run takes no pause is asserted in t_running_stop.sh, against a run that pauses:
# under qemu a Wine start alone takes seconds, so an absolute bound here would prove nothing.
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
