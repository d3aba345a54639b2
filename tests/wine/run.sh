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

template_dir=$(mktemp -d /tmp/tembra-wine-template.XXXXXX)
_OWN_TEMPLATE=$template_dir
export WINE_TEMPLATE=$template_dir/prefix
echo "testing $TOOL_EXE"
echo "making the template Wine prefix"
if ! wine_template_make "$WINE_TEMPLATE"; then
  echo "could not make a Wine prefix" >&2
  exit 2
fi

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
