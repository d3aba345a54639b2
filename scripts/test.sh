#!/usr/bin/env bash
# Everything CI checks, in order: machine set-up, the builds, the unit tests, static checks,
# and the end-to-end, smoke and installer tests of the real program under Wine. Stops at the
# first failing step.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-2}

step() {
  echo
  echo "==> $1"
}

setup() {
  step "setup"
  scripts/setup.sh
}

build_host() {
  step "build: host"
  cmake --preset host -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  cmake --build --preset host -j "$jobs"
}

unit_tests() {
  step "unit tests (host, sanitizers)"
  ctest --preset host
}

# The floor holds only if something fails when a change leaves lines unreached.
coverage() {
  step "line coverage of the program by the host tests (at least 98%)"
  JOBS=$jobs scripts/coverage.sh
}

build_windows() {
  step "build: mingw-x86"
  cmake --preset mingw-x86 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  cmake --build --preset mingw-x86 -j "$jobs"
}

build_windows_clang() {
  step "build: mingw-x86-clang (second compiler)"
  cmake --preset mingw-x86-clang -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  # The product only: the test tools are built by the first compiler.
  cmake --build --preset mingw-x86-clang -j "$jobs" --target tembra-uninstall
}

# A signed release, reproducible, with its notices: tests/release/run.sh says what it checks.
release() {
  step "release: notices, signed with a throwaway certificate, reproducible"
  tests/release/run.sh
}

check_exes() {
  step "exe checks: size, imports, resources"
  scripts/check_exe.sh build/mingw-x86/tembra-uninstall.exe
  scripts/check_exe.sh build/mingw-x86-clang/tembra-uninstall.exe
}

lint() {
  step "lint: clang-format, include layering and clang-tidy"
  JOBS=$jobs scripts/lint.sh
}

# The CI workflow against GitHub's schema, by a validator pinned to one version and installed
# under build/ only; an invalid file must fail it, or its passing would prove nothing.
validate_workflow() {
  step "workflow file: GitHub's schema"
  local dir=build/action-validator version=0.6.0 installed=
  local validator=$dir/node_modules/.bin/action-validator
  installed=$(node -p "require('./$dir/node_modules/@action-validator/cli/package.json').version" 2>/dev/null) || true
  if [[ $installed != "$version" ]]; then
    npm install --prefix "$dir" --no-save --no-audit --no-fund "@action-validator/cli@$version"
  fi
  printf 'on: push\njobs:\n  x:\n    steps: 3\n' >"$dir/invalid.yml"
  if "$validator" "$dir/invalid.yml" >/dev/null 2>&1; then
    echo "workflow: the validator accepts an invalid file" >&2
    return 1
  fi
  "$validator" .github/workflows/ci.yml
  echo "workflow: valid"
}

fuzz() {
  step "fuzzing (bounded)"
  scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
}

wine_tests() {
  # Each exe runs the whole suite; the test helpers come from the mingw-x86 build.
  step "end-to-end tests under Wine: mingw-x86"
  tests/wine/run.sh build/mingw-x86
  step "end-to-end tests under Wine: mingw-x86-clang"
  tests/wine/run.sh build/mingw-x86-clang
}

smoke_test() {
  step "smoke test of the Windows CI job, under Wine's cmd"
  tests/smoke/run.sh build/mingw-x86
}

installer_tests() {
  step "installer recipes (NSIS, Windows Installer) under Wine"
  tests/installers/run.sh build/mingw-x86
}

main() {
  setup
  build_host
  unit_tests
  coverage
  build_windows
  build_windows_clang
  release
  check_exes
  lint
  validate_workflow
  fuzz
  wine_tests
  smoke_test
  installer_tests
  echo
  echo "all checks passed"
}

main "$@"
