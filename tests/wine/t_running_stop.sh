#!/usr/bin/env bash
# A running service that accepts a stop: it is stopped, the run pauses one second, then the
# service is deleted. A run on a stopped service in the same prefix is the yardstick for the
# pause, since Wine's own start-up under qemu takes seconds.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service stop
run_tool
stopped_ms=$ELAPSED_MS
assert_eq 0 "$RC" "stopped service: exit status"
assert_eq absent "$(service_state)" "stopped service: gone afterwards"

install_service stop
start_service
assert_eq RUNNING "$(service_state)" "service running before the run"
run_tool
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "service gone afterwards"
assert_ge "$ELAPSED_MS" 1000 "run with a stop request took at least 1 s"
# 1000 ms of pause less a margin: single Wine starts vary by some 350 ms here.
assert_ge "$((ELAPSED_MS - stopped_ms))" 500 "pause: ms more than the run on a stopped service"
test_done
