#!/usr/bin/env bash
# The failure report of a run with no such service, with the backtrace switch on and off.
# Runs under tests/wine/run.sh, which provides the functions of lib.sh.
set -u
# shellcheck source=tests/wine/lib.sh
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

# A frame line gives the module and the offset from the module's load address, so a frame of
# the exe's own code has an offset within its code section's span counted from its image base.
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
exe_name=$(basename "$TOOL_EXE")
read -r text_size text_address < <("$objdump" -h "$TOOL_EXE" | awk '$2 == ".text" { print $3, $4 }')
image_base=$("$objdump" -p "$TOOL_EXE" | awk '$1 == "ImageBase" { print $2 }')
assert_eq yes "$([[ "${text_size:-} ${text_address:-} ${image_base:-}" =~ ^[0-9a-f]{8}\ [0-9a-f]{8}\ [0-9a-f]{8}$ ]] && echo yes || echo no)" "on: $exe_name has a code section and an image base"
text_start=$((16#${text_address:-0} - 16#${image_base:-0}))
text_end=$((text_start + 16#${text_size:-0}))
in_code=()
outside=()
while IFS= read -r line; do
  [[ $line =~ ^\ *([0-9]+):\ (.+)\+0x([0-9a-f]+)$ && ${BASH_REMATCH[2]} == "$exe_name" ]] || continue
  offset=$((16#${BASH_REMATCH[3]}))
  if ((offset >= text_start && offset < text_end)); then
    in_code+=("${BASH_REMATCH[1]}")
  else
    outside+=("$line")
  fi
done <<<"$frames"
assert_eq "" "${outside[*]}" "on: every frame naming $exe_name lies in its code section"
# The walk follows saved frame pointers: where the program keeps none, its frames are skipped
# and the first frame is already outside it. Frame 0 is where the error was wrapped, frame 1 the
# step that failed, frame 2 its caller.
leading=0
for number in "${in_code[@]}"; do
  ((number == leading)) && leading=$((leading + 1))
done
assert_ge "$leading" 3 "on: frames from 0 on in $exe_name's code (the error's wrapping, the failing step, its caller)"
# The capture leaves its own frames out: frame 0 is the return address of the call to
# StackBacktrace::capture, in the wrapping. The exe has no symbols: the link map written beside it
# gives the function's address, the disassembly the places that call it.
link_map=${TOOL_EXE%.exe}.map
capture=$(awk '$2 == "tembra::StackBacktrace::capture()" { print $1 }' "$link_map" 2>/dev/null)
return_sites=()
if [[ $capture =~ ^0x[0-9a-f]+$ ]]; then
  mapfile -t return_sites < <("$objdump" -d "$TOOL_EXE" | awk -F'\t' -v call="call   0x$(printf '%x' "$capture")" '
    after_call { sub(/^ +/, "", $1); sub(/:$/, "", $1); print $1 }
    { after_call = ($3 == call) }')
fi
assert_eq yes "$([[ ${#return_sites[@]} -gt 0 ]] && echo yes || echo no)" "on: $(basename "$link_map") names StackBacktrace::capture and $exe_name calls it"
frame0=$(printf '%s\n' "$frames" | sed -n "s/^ *0: $exe_name+0x\([0-9a-f]*\)\$/\1/p")
frame0_address=$(printf '%x' $((16#${image_base:-0} + 16#${frame0:-0})))
assert_eq yes "$([[ -n $frame0 && " ${return_sites[*]} " == *" $frame0_address "* ]] && echo yes || echo no)" "on: frame 0 ($frame0_address) returns from a call to StackBacktrace::capture (at ${return_sites[*]:-nowhere})"
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
