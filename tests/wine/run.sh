#!/usr/bin/env bash
# Runs every tests/wine/t_*.sh one after another (the service control manager is one per
# prefix, and the machine's cores are shared), then prints "N passed, N failed".
# Usage: tests/wine/run.sh [build-folder | exe]   (default build/mingw-x86)
# The exe under test is the given one, or tembra-uninstall.exe in the given build folder; the
# sample service and message-text helpers come from build/mingw-x86 (WINE_BUILD) either way.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if (($# > 0)); then
  TOOL_EXE=$1
  [[ -d $TOOL_EXE ]] && TOOL_EXE=$TOOL_EXE/tembra-uninstall.exe
  TOOL_EXE=$(realpath -m -- "$TOOL_EXE")
  export TOOL_EXE
fi
# shellcheck source=tests/wine/lib.sh
source "$here/lib.sh"

echo "testing $TOOL_EXE"
echo "making the template Wine prefix"
# One template for the whole run, made here and handed to every test.
unset WINE_TEMPLATE
wine_template_ensure
export WINE_TEMPLATE

passed=0
failed=0
failed_names=()
for test in "$here"/t_*.sh; do
  name=$(basename "$test" .sh)
  echo "== $name"
  if timeout -k 10 600 bash "$test"; then
    passed=$((passed + 1))
    echo "PASS $name"
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    echo "FAIL $name"
  fi
done
((failed == 0)) || echo "failed: ${failed_names[*]}"
echo "$passed passed, $failed failed"
((failed == 0))
