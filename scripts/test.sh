#!/usr/bin/env bash
# Everything CI checks, in order: machine set-up, both builds, the unit tests, and the
# end-to-end tests of the real program under Wine. Stops at the first failing step.
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
  cmake --preset host
  cmake --build --preset host -j "$jobs"
}

unit_tests() {
  step "unit tests (host, sanitizers)"
  ctest --preset host
}

build_windows() {
  step "build: mingw-x86"
  cmake --preset mingw-x86
  cmake --build --preset mingw-x86 -j "$jobs"
}

build_windows_clang() {
  step "build: mingw-x86-clang (second compiler)"
  cmake --preset mingw-x86-clang
  # The product only: the test tools are built by the first compiler.
  cmake --build --preset mingw-x86-clang -j "$jobs" --target tembra-uninstall
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

fuzz() {
  step "fuzzing (bounded)"
  scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
}

wine_tests() {
  step "end-to-end tests under Wine"
  tests/wine/run.sh
}

main() {
  setup
  build_host
  unit_tests
  build_windows
  build_windows_clang
  check_exes
  lint
  fuzz
  wine_tests
  echo
  echo "all checks passed"
}

main "$@"
