#!/usr/bin/env bash
# A signed exe runs as the unsigned build it was made from: on a stopped service, the same bytes on
# both streams, the same exit status, and the service gone.
# Usage: tests/wine/signed_exe.sh SIGNED_EXE UNSIGNED_EXE   (helpers from build/mingw-x86)
signed=$(realpath -- "$1")
TOOL_EXE=$(realpath -- "$2")
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new
install_service stop
run_tool
assert_eq 0 "$RC" "unsigned: exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
unsigned_rc=$RC
# Kept whole, the final line feed included.
unsigned_out=$(cat "$T/out" && echo x) && unsigned_out=${unsigned_out%x}
unsigned_err=$(cat "$T/err" && echo x) && unsigned_err=${unsigned_err%x}

install_service stop
TOOL_EXE=$signed
run_tool
assert_eq "$unsigned_rc" "$RC" "signed: exit status as unsigned"
assert_file_bytes "$T/out" "$unsigned_out"
assert_file_bytes "$T/err" "$unsigned_err"
assert_eq absent "$(service_state)" "signed: service gone afterwards"
test_done
