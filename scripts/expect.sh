# shellcheck shell=bash
# Sourced by the tests of a script on made-up input (check_layers_test.sh, check_notices_test.sh,
# setup_test.sh): expect runs the check and counts each case that goes against its expectation,
# expect_done reports and ends the test.

# The check and its arguments, set by the test.
check_command=()
expect_failures=0
expect_name=$(basename "$0" .sh)

# expect <pass|fail> <what> [message...]: runs the check, which must pass or fail as wanted and
# print each message.
expect() {
  local want=$1 what=$2 output status=0 message missing=()
  shift 2
  output=$("${check_command[@]}" 2>&1) || status=$?
  for message in "$@"; do
    [[ $output == *"$message"* ]] || missing+=("$message")
  done
  if [[ $want == pass && $status -ne 0 ]] || [[ $want == fail && $status -eq 0 ]] ||
    ((${#missing[@]})); then
    echo "$expect_name: $what: expected to $want${missing[*]:+ with: ${missing[*]}}; got ($status):"
    echo "$output"
    expect_failures=$((expect_failures + 1))
  fi
}

# expect_done <summary>: exits non-zero when a case failed, else prints the summary.
expect_done() {
  if ((expect_failures > 0)); then
    echo "$expect_name: $expect_failures case(s) failed" >&2
    exit 1
  fi
  echo "$expect_name: $1"
}
