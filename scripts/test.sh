#!/usr/bin/env bash
# Everything CI checks: machine set-up, the builds, the unit tests and their coverage, the exe
# checks, static checks, the workflow file, a signed release, fuzzing, and under Wine the
# end-to-end, smoke and installer tests of the real program.
#
# The Wine steps mostly wait (service start-ups, one-second pauses), so each starts in the
# background as soon as the exes it runs are built, in Wine prefixes and temporary folders of
# its own, while the builds and other steps go on. Every step writes to its own log in
# build/test-logs/; shown here are a passing step's last line and a failing step's whole log.
# Once a step has failed no new step starts, the running ones finish, and the exit status is 1.
# A table of the steps, when each started and how many seconds it took, ends every run.
#
# A step whose inputs are those of its last pass in this checkout says so and is skipped. Its
# stamp in build/test-stamps/ is a digest of the source files it reads (tracked or new, ignored
# ones aside), the built files it runs, its command line, this script, the environment variables
# the tools read and the versions of the installed packages. Nothing is skipped with CI=true (CI
# runs in a fresh clone) or FULL=1. The compiler cache and clang-tidy's verdicts, kept by content
# and shared by the clones on the machine (scripts/cache.sh), are used in CI too.
# Usage: scripts/test.sh   (JOBS compile jobs at a time, default 2; FUZZ_SECONDS per target)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/cache.sh
source scripts/cache.sh

jobs=${JOBS:-2}
logs=build/test-logs
stamps=build/test-stamps
reuse=yes
[[ ${CI:-} == true || ${FULL:-} == 1 ]] && reuse=no

# --- The step runner --------------------------------------------------------------------------

t0=$EPOCHSECONDS
steps=()        # names, in the order started
failed=()       # names of the failed steps
running=()      # names of the steps started and not yet reaped
declare -A pid_of start_of seconds_of result_of key_of

slug() { tr -cs 'a-z0-9\n' '-' <<<"${1,,}"; }

# The environment variables the tools and scripts read, and the installed packages' versions.
setting=
if [[ $reuse == yes ]]; then
  setting=$({
    env | sort | grep -E '^(PATH|CC|CXX|[A-Z]*FLAGS|OBJDUMP|(CLANG|FUZZ|TEMBRA|RUST)_\w+|WINE\w*)='
    dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' 2>/dev/null
    node --version 2>/dev/null
    python3 --version 2>/dev/null
  } | sha256sum)
fi

# stamp_key INPUTS COMMAND...: the digest the stamp holds. INPUTS is a list of words: a word
# under build/ names a built file, HEAD the commit checked out, any other word is a git pathspec
# of the source files (tracked or new).
stamp_key() {
  local word words sources=() built=()
  read -ra words <<<"$1"
  for word in "${words[@]}"; do
    case $word in
    build/*) built+=("$word") ;;
    HEAD) git rev-parse HEAD ;;
    *) sources+=("$word") ;;
    esac
  done
  printf '%s\n' "$@" "$setting"
  sha256sum scripts/test.sh "${built[@]}" 2>&1
  git ls-files -z --cached --others --exclude-standard -- "${sources[@]}" | xargs -0r sha256sum 2>&1
}

# start_step NAME [--inputs INPUTS] COMMAND...: runs COMMAND in the background, its output in
# the step's log. With INPUTS (see stamp_key) a step unchanged since its last pass is skipped.
start_step() {
  local name=$1 inputs="" key=""
  shift
  if [[ $1 == --inputs ]]; then
    inputs=$2
    shift 2
  fi
  reap
  steps+=("$name")
  start_of[$name]=$((EPOCHSECONDS - t0))
  seconds_of[$name]=0
  if ((${#failed[@]} > 0)); then
    result_of[$name]="not run"
    return 0
  fi
  if [[ -n $inputs ]]; then
    key=$(stamp_key "$inputs" "$@" | sha256sum | cut -d' ' -f1)
    if [[ $reuse == yes && $(cat "$stamps/$(slug "$name")" 2>/dev/null) == "$key" ]]; then
      result_of[$name]=skipped
      echo "skip  $name: its inputs are those of its last pass"
      return 0
    fi
  fi
  key_of[$name]=$key
  echo "start $name"
  local log
  log=$logs/$(slug "$name")
  (
    set +e
    (
      set -e
      "$@"
    ) </dev/null >"$log.log" 2>&1
    # Its exit status and end; then, from bash's times, the CPU time its processes took.
    {
      echo "$? $EPOCHSECONDS"
      times
    } >"$log.status"
  ) &
  pid_of[$name]=$!
  running+=("$name")
}

# Collects the steps that have ended: their result, time and stamp; a failing one's whole log.
reap() {
  local name still=() status end stamp log last
  for name in "${running[@]}"; do
    log=$logs/$(slug "$name")
    if [[ ! -f $log.status ]]; then
      still+=("$name")
      continue
    fi
    wait "${pid_of[$name]}" || true
    read -r status end <"$log.status"
    seconds_of[$name]=$((end - t0 - ${start_of[$name]}))
    stamp=$stamps/$(slug "$name")
    if ((status == 0)); then
      last=$(tail -n 1 "$log.log")
      result_of[$name]=passed
      [[ -n ${key_of[$name]} ]] && echo "${key_of[$name]}" >"$stamp"
      echo "ok    $name (${seconds_of[$name]} s)${last:+: $last}"
    else
      result_of[$name]="FAILED ($status)"
      failed+=("$name")
      rm -f "$stamp"
      echo "FAIL  $name (${seconds_of[$name]} s, exit status $status); its log, $log.log:"
      sed 's/^/  | /' "$log.log"
    fi
  done
  running=("${still[@]}")
}

# wait_steps [NAME...]: waits until the named steps, or all started ones, have ended.
wait_steps() {
  local name
  while reap; do
    if (($# == 0)); then
      ((${#running[@]} == 0)) && return 0
    else
      for name in "$@"; do
        [[ -n ${result_of[$name]:-} ]] || break
      done
      [[ -n ${result_of[$name]:-} ]] && return 0
    fi
    sleep 1
  done
}

# run_step NAME [--inputs INPUTS] COMMAND...: start_step, then waits for it.
run_step() {
  start_step "$@"
  wait_steps "$1"
}

# Ends the processes of a step, its Wine tests' clean-up traps included.
kill_tree() {
  local child
  for child in $(pgrep -P "$1"); do
    kill_tree "$child"
  done
  kill -TERM "$1" 2>/dev/null || true
}

# On an interrupt, or should this script itself fail, no step is left running.
stop_running() {
  local name
  for name in "${running[@]}"; do
    kill_tree "${pid_of[$name]}"
  done
  wait
}
trap stop_running EXIT
trap 'stop_running; summary; echo "interrupted" >&2; exit 130' INT TERM

summary() {
  local name
  echo
  printf '%-28s %6s %8s  %s\n' step start seconds result
  for name in "${steps[@]}"; do
    printf '%-28s %6d %8d  %s\n' "$name" "${start_of[$name]}" "${seconds_of[$name]}" \
      "${result_of[$name]:-stopped}"
  done
  printf '%-28s %6s %8d\n' "wall time" "" $((EPOCHSECONDS - t0))
}

# --- The steps --------------------------------------------------------------------------------

# configure PRESET: compiles through the compiler cache when there is one.
configure() {
  cmake --preset "$1" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    "-DCMAKE_CXX_COMPILER_LAUNCHER=$(cmake_launcher .)"
}

# build PRESET [TARGET]
build() {
  configure "$1"
  cmake --build --preset "$1" -j "$jobs" ${2:+--target "$2"}
}

# The CI workflow against GitHub's schema, by a validator pinned to one version and installed
# under build/ only; an invalid file must fail it, or its passing would prove nothing.
validate_workflow() {
  local dir=build/action-validator
  local validator=$dir/node_modules/.bin/action-validator
  scripts/npm_pinned.sh "$dir" @action-validator/cli@0.6.0
  printf 'on: push\njobs:\n  x:\n    steps: 3\n' >"$dir/invalid.yml"
  if "$validator" "$dir/invalid.yml" >/dev/null 2>&1; then
    echo "workflow: the validator accepts an invalid file" >&2
    return 1
  fi
  "$validator" .github/workflows/ci.yml
  echo "workflow: valid"
}

# The Wine steps run against limits of their own (the service manager's wait for a service's
# answer, the tests' waits for a service's state), so the steps that keep the cores busy beside
# them yield to them.
yielding() {
  renice -n 5 -p "$BASHPID" >/dev/null
  "$@"
}

check_exes() {
  scripts/check_exe.sh build/mingw-x86/tembra-uninstall.exe
  scripts/check_exe.sh build/mingw-x86-clang/tembra-uninstall.exe
}

main() {
  rm -rf "$logs"
  mkdir -p "$logs" "$stamps"
  [[ $reuse == yes ]] || echo "every step runs (CI=true or FULL=1)"
  # What the C++ builds read.
  local cxx="src tests/unit fuzz tools cmake CMakeLists.txt CMakePresets.json"
  local x86=build/mingw-x86
  local helpers="$x86/sample-service.exe $x86/message-text.exe"
  local exes="$x86/tembra-uninstall.exe $helpers"

  run_step setup scripts/setup.sh
  start_step "workflow schema" --inputs ".github scripts/npm_pinned.sh" validate_workflow
  # The exe the Wine steps wait for comes first; the test helpers come from this build.
  run_step "build: mingw-x86" build mingw-x86
  # clang-tidy, the longest step, needs only the compile commands: it starts early.
  run_step "configure: host" configure host
  start_step "lint" --inputs ". build/host/compile_commands.json" \
    yielding env JOBS="$jobs" scripts/lint.sh
  start_step "wine: mingw-x86" --inputs "tests/wine $exes" tests/wine/run.sh "$x86"
  start_step "installers" \
    --inputs "tests/installers tests/wine/lib.sh examples :(glob)* $exes" \
    tests/installers/run.sh "$x86"
  start_step "smoke" --inputs "tests/smoke tests/wine/lib.sh $exes" tests/smoke/run.sh "$x86"
  # A from-scratch build that must match the mingw-x86 exe, a signed zip, and that exe under Wine.
  start_step "release" --inputs ". HEAD $exes" yielding tests/release/run.sh
  # One compile at a time, then one target at a time: it fills what the parallel builds leave.
  start_step "fuzz" --inputs "src fuzz scripts/fuzz.sh" \
    yielding scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
  # The product only: the test helpers are built by the first compiler.
  run_step "build: mingw-x86-clang" yielding build mingw-x86-clang tembra-uninstall
  start_step "wine: mingw-x86-clang" \
    --inputs "tests/wine build/mingw-x86-clang/tembra-uninstall.exe $helpers" \
    tests/wine/run.sh build/mingw-x86-clang
  run_step "exe checks" check_exes
  # One build for the unit tests and their coverage: the sanitizers and the line counts together.
  run_step "build: host" yielding cmake --build --preset host -j "$jobs"
  # The floor holds only if something fails when a change leaves lines unreached.
  start_step "unit tests, coverage" \
    --inputs "$cxx scripts/coverage.sh build/host/unit_tests $(echo build/host/*_replay)" \
    env JOBS="$jobs" scripts/coverage.sh
  wait_steps
  summary
  local name passed=0
  for name in "${steps[@]}"; do
    [[ ${result_of[$name]} == passed || ${result_of[$name]} == skipped ]] && passed=$((passed + 1))
  done
  echo "steps: $passed passed, ${#failed[@]} failed"
  if ((${#failed[@]} > 0)); then
    echo "failed: $(printf '%s; ' "${failed[@]}")"
    exit 1
  fi
  echo "all checks passed"
}

main "$@"
