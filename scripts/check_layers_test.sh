#!/usr/bin/env bash
# Runs scripts/check_layers.sh on small made-up trees: a well-layered one must pass, and each kind
# of bad include or misplaced file must fail with a message naming the file, line and include.
# Usage: scripts/check_layers_test.sh
set -euo pipefail
check=$(realpath "$(dirname "$0")/check_layers.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# write <path> [line ...]: a file of the made-up tree with the given lines.
write() {
  local path=$work/tree/$1
  shift
  mkdir -p "${path%/*}"
  printf '%s\n' "$@" >"$path"
}

good_tree() {
  rm -rf "$work/tree"
  write src/platform/win32.h '#pragma once' '#include <cstdint>'
  write src/platform/sim/simulator.h '#include "platform/win32.h"' '#include "../win32.h"'
  write src/base/text_sink.h '#include "platform/win32.h"' '#include <string_view>'
  write src/console/print.h '  #  include "base/text_sink.h"' '#include "print_detail.h"'
  write src/console/print_detail.h '#include "gtest/gtest.h"'
  write src/service/handles.h '#include "console/print.h"'
  write src/report/chain.h '#include "service/handles.h"'
  write src/app/main.cpp '#include "report/chain.h"' '#include "platform/sim/simulator.h"'
  write tests/unit/support/fixture.h '#include "app/main.cpp"'
  write tests/unit/console/print_test.cpp '#include "console/print.h"' \
    '#include "support/fixture.h"' '#include "../support/fixture.h"' '#include <gtest/gtest.h>'
  write tests/unit/report/chain_test.cpp '#include "console/print_test_helpers.h"'
  write tests/unit/console/print_test_helpers.h '#include "base/text_sink.h"'
  write fuzz/everything.cpp '#include "app/main.cpp"' '#include "../tests/unit/support/fixture.h"'
}

# shellcheck source=scripts/expect.sh
source "$(dirname "$0")/expect.sh"
check_command=("$check" "$work/tree")

good_tree
expect pass "a well-layered tree"

# bad <what> <message> <path> <line>...: the good tree plus one file, which must fail.
bad() {
  local what=$1 message=$2
  shift 2
  good_tree
  write "$@"
  expect fail "$what" "$message"
}
bad "a room including one above" \
  'src/service/extra.h:2: includes "report/chain.h": room report is above service' \
  src/service/extra.h '#include "console/print.h"' '#include "report/chain.h"'
bad "the bottom room including the program" \
  'src/platform/sim/extra.cpp:1: includes "base/text_sink.h": room base is above platform' \
  src/platform/sim/extra.cpp '#include "base/text_sink.h"'
bad "a relative include reaching up" \
  'src/base/extra.h:1: includes "../app/main.cpp": room app is above base' \
  src/base/extra.h '#include "../app/main.cpp"'
bad "an angle-bracket include of the program" \
  'src/console/extra.h:1: includes "service/handles.h": room service is above console' \
  src/console/extra.h '#include <service/handles.h>'
bad "a test including a room above its own" \
  'tests/unit/console/extra_test.cpp:1: includes "app/main.cpp": room app is above console' \
  tests/unit/console/extra_test.cpp '#include "app/main.cpp"'
bad "a test including the tests of a room above" \
  'tests/unit/base/extra_test.cpp:1: includes "console/print_test_helpers.h": room console is above base' \
  tests/unit/base/extra_test.cpp '#include "console/print_test_helpers.h"'
bad "the program including a test helper" \
  'src/app/extra.cpp:1: includes "../../tests/unit/support/fixture.h", a test helper' \
  src/app/extra.cpp '#include "../../tests/unit/support/fixture.h"'
bad "the program including a test" \
  'src/console/extra.h:1: includes "../../tests/unit/console/print_test_helpers.h", a test file' \
  src/console/extra.h '#include "../../tests/unit/console/print_test_helpers.h"'
bad "the program including a file outside the rooms" \
  'src/app/extra.cpp:1: includes "../../fuzz/everything.cpp" (fuzz/everything.cpp), outside the rooms' \
  src/app/extra.cpp '#include "../../fuzz/everything.cpp"'
bad "a file directly in src/" 'src/main.h: outside any room' src/main.h '#pragma once'
good_tree
write src/main.h '#pragma once'
write src/app/extra.cpp '#include "main.h"'
expect fail "an include of a file directly in src/" \
  'src/app/extra.cpp:1: includes "main.h" (src/main.h), not in a room'
bad "an unknown room" 'src/util/: not a room' src/util/strings.h '#pragma once'
bad "an unknown folder of tests" \
  'tests/unit/helpers/: neither a room nor the test helpers (support/)' \
  tests/unit/helpers/fixture.h '#pragma once'

expect_done "the layering check passes a good tree and fails each bad one"
