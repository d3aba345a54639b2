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

wine_tests() {
  step "end-to-end tests under Wine"
  tests/wine/run.sh
}

main() {
  setup
  build_host
  unit_tests
  build_windows
  # Further checks of the sources and the builds (lint, fuzzing, size limits) are called
  # here, each as a function of its own, before the slow Wine tests.
  wine_tests
  echo
  echo "all checks passed"
}

main "$@"
