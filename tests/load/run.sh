#!/usr/bin/env bash
# The Wine steps under load: ROUNDS times in a row (default 3), the Wine suites of both exes, the
# smoke test and the installer tests run side by side while two busy loops keep both cores
# loaded at the tests' own priority. None of them may fail: a check that its own load can break
# is a fault of the check. Needs the mingw-x86 and mingw-x86-clang builds (scripts/test.sh makes
# them). Logs in build/load-logs/round-N/; prints a line per round and ends 1 if any run failed.
# Usage: tests/load/run.sh [ROUNDS]
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
rounds=${1:-3}
logs=build/load-logs
for exe in build/mingw-x86/tembra-uninstall.exe build/mingw-x86-clang/tembra-uninstall.exe; do
  if [[ ! -f $exe ]]; then
    echo "load: missing $exe: build the mingw-x86 and mingw-x86-clang presets first" >&2
    exit 2
  fi
done

busy=()
trap 'kill "${busy[@]}" 2>/dev/null' EXIT
trap 'exit 143' TERM INT
for _ in 1 2; do
  (while :; do :; done) &
  busy+=($!)
done

# In the order of the round's line.
names=(wine-gcc wine-clang smoke installers)
declare -A suites=(
  [wine-gcc]="tests/wine/run.sh build/mingw-x86"
  [wine-clang]="tests/wine/run.sh build/mingw-x86-clang"
  [smoke]="tests/smoke/run.sh build/mingw-x86"
  [installers]="tests/installers/run.sh build/mingw-x86"
)
rm -rf "$logs"
failed=0
for ((round = 1; round <= rounds; round++)); do
  mkdir -p "$logs/round-$round"
  running=()
  for name in "${names[@]}"; do
    (
      start=$SECONDS
      # shellcheck disable=SC2086  # the suite's command and its argument
      ${suites[$name]} >"$logs/round-$round/$name.log" 2>&1
      echo "$? $((SECONDS - start))" >"$logs/round-$round/$name.status"
    ) &
    running+=($!)
  done
  wait "${running[@]}"
  line="round $round:"
  for name in "${names[@]}"; do
    read -r status seconds <"$logs/round-$round/$name.status"
    if ((status == 0)); then
      line+=" $name passed (${seconds} s);"
    else
      line+=" $name FAILED (${seconds} s, $logs/round-$round/$name.log);"
      failed=$((failed + 1))
    fi
  done
  echo "$line"
done
echo "load: $((rounds * ${#names[@]} - failed)) of $((rounds * ${#names[@]})) suite runs passed"
((failed == 0))
