#!/usr/bin/env bash
# Wall times under Wine, on one throwaway prefix with the project's sample service:
#   - the tool removing a stopped tembra_service, against Wine's own `sc delete` on an identical
#     one, interleaved, medians and their ratio;
#   - the tool on a running service that accepts stop, minus the one-second pause;
#   - the exe's size.
# Usage: scripts/bench.sh [runs, default 7]   (builds the mingw-x86 preset when the exe is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
exe=$PWD/build/mingw-x86/tembra-uninstall.exe
service_exe=$PWD/build/mingw-x86/sample-service.exe
if [[ ! -f $exe || ! -f $service_exe ]]; then
  cmake --preset mingw-x86 >/dev/null && cmake --build --preset mingw-x86 >/dev/null
fi

work=$(mktemp -d /tmp/tembra-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# Only this prefix's wineserver is ever stopped.
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "bench: making a Wine prefix (about 20 s)"
wine wineboot --init >/dev/null 2>&1
wineserver -w
cp "$service_exe" "$WINEPREFIX/drive_c/svc.exe"
cp -a "$WINEPREFIX" "$work/pristine"
# Keep the wineserver, and with it the service manager, alive between runs.
wineserver -p

now_ns() { date +%s%N; }
create_service() {
  wine sc create tembra_service binPath= 'C:\svc.exe stop' >/dev/null 2>&1 || {
    echo "bench: creating the service failed" >&2
    exit 1
  }
}
# Runs the command, checks its exit status and prints its wall time in milliseconds.
time_ms() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || {
    echo "bench: '$*' failed" >&2
    exit 1
  }
  end=$(now_ns)
  echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2)}'; }

# One untimed round first, so that both sides start with warm caches.
create_service && wine "$exe" >/dev/null 2>&1

tool=()
sc=()
for ((i = 0; i < runs; i++)); do
  create_service
  tool+=("$(time_ms wine "$exe")")
  create_service
  sc+=("$(time_ms wine sc delete tembra_service)")
done
tool_median=$(median "${tool[@]}")
sc_median=$(median "${sc[@]}")

# A running service: the run sends a stop request and pauses one second before deleting.
stop=()
for ((i = 0; i < 3; i++)); do
  create_service
  wine sc start tembra_service >/dev/null 2>&1
  stop+=("$(time_ms wine "$exe")")
  # Whatever the run left behind (a service marked for deletion) goes with a fresh prefix.
  wineserver -k
  rm -rf "$WINEPREFIX"
  cp -a "$work/pristine" "$WINEPREFIX"
  wineserver -p
done
stop_median=$(median "${stop[@]}")

echo "machine: $(uname -m), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $(wine --version); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "stopped service, tool (ms):       ${tool[*]}  median $tool_median"
echo "stopped service, sc delete (ms):  ${sc[*]}  median $sc_median"
awk -v t="$tool_median" -v s="$sc_median" 'BEGIN {printf "ratio tool / sc delete:           %.2f\n", t / s}'
if ((stop_median >= 1000)); then
  echo "running service, tool (ms):       ${stop[*]}  median $stop_median, minus the 1000 ms pause: $((stop_median - 1000))"
else
  # Shorter than the pause itself: this build sends no stop request yet.
  echo "running service, tool (ms):       ${stop[*]}  median $stop_median (no pause seen: no stop request in this build)"
fi
echo "exe size: $(stat -c %s "$exe") bytes"
