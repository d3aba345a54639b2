#!/usr/bin/env bash
# The host tests and the program's line coverage by them. Builds the host preset (sanitizers, and
# line counts in the program's code), runs every test there (the unit tests, their death tests
# included, and the fuzz corpus replays), and prints the lines reached in each file of src/ but
# the simulator (src/platform/sim/), ending in a TOTAL line. Fails when a test fails or the total
# is below 98%. Files not built on the host (windows/ folders) are not in the count: the tests
# under Wine run them.
# Usage: scripts/coverage.sh   (JOBS at a time, default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
minimum=98

if ! command -v gcovr >/dev/null; then
  echo "coverage: gcovr not found; install Debian's gcovr (scripts/setup.sh does)" >&2
  exit 1
fi
# Quiet unless it fails: then the last lines of what it said.
quietly() {
  local log
  log=$(mktemp)
  if ! "$@" >"$log" 2>&1; then
    tail -40 "$log" >&2
    rm -f "$log"
    echo "coverage: failed: $*" >&2
    exit 1
  fi
  rm -f "$log"
}

build=build/host
quietly cmake --preset host
quietly cmake --build --preset host -j "$jobs"
# Counts from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
# Its whole output: a failing test's log is what to read.
ctest --preset host -j "$jobs"

status=0
# CMake's compiler check leaves counts of its own in the build folder; they are not the tests'.
report=$(gcovr --root . --object-directory "$build" \
  --exclude-directories "$build/CMakeFiles/[^/]+/CompilerId" --filter 'src/' \
  --exclude 'src/platform/sim/' --fail-under-line "$minimum") || status=$?
# The table without the rule gcovr puts under the TOTAL line.
sed '$d' <<<"$report"
if ((status != 0)); then
  echo "coverage: below ${minimum}% of lines (gcovr exit status $status)" >&2
fi
exit "$status"
