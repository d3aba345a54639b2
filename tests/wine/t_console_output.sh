#!/usr/bin/env bash
# Where the success line goes: a file gets exactly its bytes, a terminal gets it through the
# console, a closed standard output loses it without failing the run, and a standard output
# that refuses writes ends the run as an internal fault, after the service is already gone.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_prefix_new

# Installs a fresh (stopped) service for the next run.
fresh_service() {
  install_service stop
  assert_eq STOPPED "$(service_state)" "service installed for: $1"
}

fresh_service "stdout to a file"
run_tool
assert_eq 0 "$RC" "file: exit status"
assert_file_bytes "$T/out" "$SUCCESS_LINE"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "file: service gone"

fresh_service "stdout on a terminal"
script -qec "WINEDLLOVERRIDES=winedbg.exe=d wine '$TOOL_EXE' 2>'$T/err'" /dev/null >"$T/tty"
RC=$?
assert_eq 0 "$RC" "terminal: exit status"
# The console renders a line feed as "\r\r\n"; bytes written to the terminal directly would
# arrive as "\r\n".
line=${SUCCESS_LINE%$'\n'}
tty=$(cat "$T/tty")
assert_eq yes "$([[ $tty == *"$line"$'\r\r\n'* ]] && echo yes || echo no)" \
  "terminal: line arrived through the console"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "terminal: service gone"

fresh_service "stdout closed"
WINEDLLOVERRIDES=winedbg.exe=d wine "$TOOL_EXE" >&- 2>"$T/err"
RC=$?
assert_eq 0 "$RC" "closed: exit status"
assert_file_bytes "$T/err" ""
assert_eq absent "$(service_state)" "closed: service gone"

fresh_service "stdout refusing writes"
WINEDLLOVERRIDES=winedbg.exe=d wine "$TOOL_EXE" >/dev/full 2>"$T/err"
RC=$?
assert_eq yes "$([[ $RC != 0 && $RC != 1 ]] && echo yes || echo no)" \
  "full: exit status $RC is neither 0 nor 1"
err=$(cat "$T/err")
assert_eq yes "$([[ $err == "failed printing to stdout: "* ]] && echo yes || echo no)" \
  "full: standard error names the failed print"
assert_eq absent "$(service_state)" "full: service gone"
test_done
