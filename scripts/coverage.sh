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
rm -rf "$build/gcda"
# Its whole output: a failing test's log is what to read.
ctest --preset host -j "$jobs"

# The tests count into gcda/, each file named after the absolute path its object had where it was
# compiled (CMakeLists.txt), that is, in this clone or in one that left it in the compiler cache:
# '#' for '/', the path in the build folder last. gcov reads a count beside its object's .gcno.
gathered=0
while IFS= read -r -d '' note; do
  object=${note#"$build/"}
  object=${object%.gcno}
  counts=("$build"/gcda/*"#${build//\//#}#${object//\//#}.gcda")
  if [[ -e ${counts[0]} ]]; then
    mv "${counts[0]}" "$build/$object.gcda"
    gathered=$((gathered + 1))
  fi
done < <(find "$build" -name '*.gcno' -print0)
if ((gathered == 0)); then
  echo "coverage: the tests left no counts in $build/gcda" >&2
  exit 1
fi
left=$(find "$build/gcda" -type f | head -3)
if [[ -n $left ]]; then
  echo "coverage: counts of no object in this build:"$'\n'"$left" >&2
  exit 1
fi

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
