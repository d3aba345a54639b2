#!/usr/bin/env bash
# The failure report of a run with no such service, with the backtrace switch on and off.
# Runs under tests/wine/run.sh, which provides the functions of lib.sh.
set -u
. "$(dirname "$0")/lib.sh"

wine_prefix_new

scratch=$T

# Runs the tool with the environment as it stands; stderr kept in $scratch/$1.err.
run_case() {
  local name=$1
  run_tool
  cp "$T/err" "$scratch/$name.err"
  assert_eq 1 "$RC" "$name: exit status"
}

# The last two bytes of a file, in hex.
last_two_bytes() {
  tail -c 2 "$1" | od -An -tx1 | tr -d ' \n'
}

has_line() {
  grep -Eq "$1" "$2" && echo yes || echo no
}

report_head=$'Error: IO error in winapi call\n\nCaused by:'

# Switched on by RUST_BACKTRACE alone.
unset RUST_LIB_BACKTRACE
export RUST_BACKTRACE=1
run_case on
assert_eq "$report_head" "$(head -n 3 "$scratch/on.err")" "on: report begins with the error and its cause"
assert_eq yes "$(has_line '^Stack backtrace:$' "$scratch/on.err")" "on: a Stack backtrace heading"
# The heading is followed by frame lines only: a number, a module or symbol, an offset.
frames=$(sed -n '/^Stack backtrace:$/,$p' "$scratch/on.err" | tail -n +2)
assert_eq yes "$([ -n "$frames" ] && echo yes || echo no)" "on: frame lines follow the heading"
assert_eq "" "$(printf '%s\n' "$frames" | grep -Ev '^ *[0-9]+: .+\+0x[0-9a-f]+$|^ +at .+\+0x[0-9a-f]+$')" "on: every line after the heading is a frame line"
assert_eq yes "$(has_line '^ +0: ' "$scratch/on.err")" "on: frames are numbered from 0"
# Exactly one line feed at the end, after the last frame line.
last=$(last_two_bytes "$scratch/on.err")
assert_eq 0a "${last:2:2}" "on: the report ends in a line feed"
assert_eq yes "$(case "${last:0:2}" in 0a | 0d | 20 | 09) echo no ;; *) echo yes ;; esac)" "on: a single final line feed"

# RUST_LIB_BACKTRACE=0 decides before RUST_BACKTRACE=1.
export RUST_LIB_BACKTRACE=0
export RUST_BACKTRACE=1
run_case lib_off
assert_eq no "$(has_line 'backtrace' "$scratch/lib_off.err")" "lib=0: no backtrace section"
assert_eq "$report_head" "$(head -n 3 "$scratch/lib_off.err")" "lib=0: report begins with the error and its cause"
assert_eq 4 "$(wc -l <"$scratch/lib_off.err")" "lib=0: report is four lines"

# Neither variable set: no section either.
unset RUST_LIB_BACKTRACE RUST_BACKTRACE
run_case neither
assert_eq no "$(has_line 'backtrace' "$scratch/neither.err")" "neither: no backtrace section"
assert_eq 4 "$(wc -l <"$scratch/neither.err")" "neither: report is four lines"
assert_eq 0a "$(last_two_bytes "$scratch/neither.err" | cut -c3-4)" "neither: ends in a line feed"

test_done
