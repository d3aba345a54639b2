#!/usr/bin/env bash
# The check every template prefix passes before a test runs: it passes the template, and fails a
# copy of it whose 32-bit set-up pass did not complete, in either way that pass leaves it.
# shellcheck source=tests/wine/lib.sh
source "$(dirname "$0")/lib.sh"

wine_template_ensure
T=$(mktemp -d /tmp/tembra-wine-test.XXXXXX)
broken=$T/prefix
mkdir -p "$broken/drive_c"
checked() { wine_prefix_check "$broken" 2>&1 && echo "passed"; }

assert_eq "" "$(wine_prefix_check "$WINE_TEMPLATE" 2>&1)" "the template passes, silently"
cp "$WINE_TEMPLATE/system.reg" "$broken/"
mkdir "$broken/drive_c/Program Files" "$broken/drive_c/Program Files (x86)"
assert_eq passed "$(checked)" "a copy of the template's registry and folders passes"
rmdir "$broken/drive_c/Program Files (x86)"
assert_eq "prefix $broken: no C:\\Program Files (x86): Wine's set-up did not complete" \
  "$(checked)" "no 32-bit program folder"
mkdir "$broken/drive_c/Program Files (x86)"
sed -i 's/^"ProgramFilesDir"="C:\\\\Program Files (x86)"$/"ProgramFilesDir"=str(2):"%SystemDrive%\\\\Program Files (x86)"/' \
  "$broken/system.reg"
[[ $(checked) == *'lacks "ProgramFilesDir"="C:\\Program Files (x86)" under [Software\\Wow6432Node'*'"ProgramFilesDir"=str(2):"%SystemDrive%\\Program Files (x86)"'* ]]
assert_eq 0 $? "the 32-bit ProgramFilesDir left unexpanded"
test_done
