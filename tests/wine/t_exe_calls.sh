#!/usr/bin/env bash
# What the exe asks of the platform, read from Wine's relay trace of its own calls (run_traced):
# what no output shows. Each case is one run; its rows are checks over the calls it made.
# shellcheck source=tests/wine/lib.sh disable=SC2016  # the rows are awk programs
source "$(dirname "$0")/lib.sh"

# Each row: an awk program over the calls (name, arguments, result, call ms, return ms) that
# prints what is wrong.
declare -A rows
# The DLL search is restricted first, before any service call or heap block; no DLL is loaded.
rows[dll search first]='
  $1 ~ /\.LoadLibrary/ { print $1 "(" $2 ")" }
  $1 == "KERNEL32.SetDefaultDllDirectories" && !asked++ && ($2 != "00000800" || $3 == "00000000") {
    print $1 "(" $2 ") answered " $3
  }
  !asked && !early && ($1 ~ /^advapi32\./ || $1 ~ /Heap$|AllocateHeap$/) { early = $1 }
  END {
    if (!asked) print "no SetDefaultDllDirectories"
    else if (early) print early " before SetDefaultDllDirectories"
  }'
# Every block from the heap is given back once, to the process heap, by the address it gave out.
rows[heap blocks given back]='
  function give(block) { live[block] = 1; blocks++ }
  function take(block) {
    if (!(block in live)) print $1 "(" $2 "): a block the heap did not give out, or given back"
    delete live[block]
  }
  $1 == "KERNEL32.GetProcessHeap" { heap = $3 }
  $1 ~ /\.(Rtl(Re)?AllocateHeap|Heap(Re)?Alloc|HeapFree|RtlFreeHeap)$/ {
    split($2, arg, ",")
    if (arg[1] != heap) print $1 "(" $2 "): not the process heap " heap
    if ($1 ~ /Free/ && $3 == "00000000") print $1 "(" $2 ") refused"
    if ($1 ~ /Free|ReAlloc/) take(arg[3])
    if ($1 !~ /Free/) give($3)
  }
  END {
    for (block in live) print "never given back: " block
    if (!blocks) print "no block from the heap"
  }'
# Windows Server 2003 and XP refuse a capture of 63 frames or more, skipped ones included.
rows[stack walk within 62 frames]="$AWK_HEX"'
  $1 ~ /\.RtlCaptureStackBackTrace$/ {
    walks++
    split($2, arg, ",")
    if (hex(arg[1]) + hex(arg[2]) > 62) print "skips " hex(arg[1]) ", captures " hex(arg[2])
  }
  END { if (!walks) print "no RtlCaptureStackBackTrace" }'
# A stopped service is deleted at once: no stop request, no timer, no wait, no sleep.
rows[no pause]='
  $1 ~ /\.(ControlService|CreateWaitableTimer|SetWaitableTimer|WaitFor|Sleep|NtDelayExecution|NtWaitFor)/ { print $1 }
  $1 == "advapi32.DeleteService" { deleted = 1 }
  END { if (!deleted) print "no DeleteService" }'
# After a stop request, accepted (answer 1) or refused (0), one second before the deletion.
rows[pause of 1 s]='
  $1 == "advapi32.ControlService" { stopped = $5; answer = $3 }
  $1 == "advapi32.DeleteService" && stopped != "" && gap == "" { gap = $4 - stopped }
  END {
    if (answer != ENVIRON["CONTROL_ANSWER"]) print "ControlService answered " answer ", not " ENVIRON["CONTROL_ANSWER"]
    if (gap == "") print "no ControlService then DeleteService"
    else if (gap < 1000) print gap " ms from ControlService returning to DeleteService"
  }'

# name | service before the run (sample mode, "running") | RUST_BACKTRACE | exit status |
# ControlService's answer | rows
cases=(
  "no service, backtrace on||1|1||dll search first,heap blocks given back,stack walk within 62 frames"
  "stopped service|stop||0||dll search first,heap blocks given back,no pause"
  "stop accepted|stop running||0|00000001|dll search first,heap blocks given back,pause of 1 s"
  "stop refused|nostop running||0|00000000|dll search first,heap blocks given back,pause of 1 s"
)

wine_prefix_new
report_1060=$(failure_report 1060)
for case in "${cases[@]}"; do
  IFS='|' read -r name service backtrace status answer checks <<<"$case"
  read -r mode running <<<"$service"
  if [[ -n $mode ]]; then
    install_service "$mode"
    [[ -n $running ]] && start_service
  fi
  if [[ -n $backtrace ]]; then RUST_BACKTRACE=1 run_traced; else run_traced; fi
  assert_eq "$status" "$RC" "$name: exit status"
  # The exe's stderr, parted from the trace, is as without it, frames aside.
  expected="IO error in winapi call"
  case $mode in stop) expected= ;; "") expected=$report_1060$'\n\nStack backtrace:' ;; esac
  assert_eq "$expected" "$(sed '/^Stack backtrace:$/q' "$T/err")" "$name: stderr"
  IFS=, read -r -a names <<<"$checks"
  for row in "${names[@]}"; do
    CONTROL_ANSWER=$answer assert_calls "$name: $row" "${rows[$row]}"
  done
done
test_done
