#!/usr/bin/env bash
# Runs tests/smoke/smoke.cmd, the smoke test of the Windows CI job, under Wine's cmd: with the
# real tool it must pass; given exes that are not the tool it must fail and say why (Wine's fc
# and findstr answer 0 whatever they compare, so a script passing here proves little alone).
# Usage: tests/smoke/run.sh [build folder]   (default build/mingw-x86)
set -u
here=$(cd "$(dirname "$0")" && pwd)
WINE_BUILD=$(realpath -m -- "${1:-$here/../../build/mingw-x86}")
# shellcheck source=tests/wine/lib.sh
source "$here/../wine/lib.sh"

wine_prefix_new
script=$(winepath -w "$here/smoke.cmd")
service=$(winepath -w "$SERVICE_EXE")

# smoke TOOL_EXE: the script's output in $T/out, its exit status in $RC.
smoke() {
  wine cmd /c "$script" "$(winepath -w "$1")" "$service" >"$T/out" 2>"$T/err"
  RC=$?
}

# assert_fails WHY: the last run failed, gave WHY as its reason and left no service behind.
assert_fails() {
  assert_eq 1 "$RC" "exit status"
  local line
  line=$(tr -d '\r' <"$T/out")
  if [[ $line == "smoke: FAIL $1 (outputs kept in "*")" ]]; then
    _pass "result line: $line"
  else
    _fail "result line"
    printf '       expected: smoke: FAIL %s (outputs kept in ...)\n       actual:   %q\n' "$1" "$line"
  fi
  assert_eq absent "$(service_state)" "the script removed the service it made"
}

echo "the tool"
smoke "$TOOL_EXE"
assert_eq 0 "$RC" "exit status"
assert_file_bytes "$T/out" $'smoke: PASS\r\n'
assert_eq absent "$(service_state)" "service gone"

echo "an exe that prints something else with exit status 0 (hostname.exe)"
smoke "$WINEPREFIX/drive_c/windows/system32/hostname.exe"
assert_fails "first run: standard output is not the success line"

echo "an exe that exits with another status (the sample service, run outside the SCM)"
smoke "$SERVICE_EXE"
assert_fails "first run: exit status 1, expected 0"
test_done
