#!/usr/bin/env bash
# Checks the shipped exe: PE32 i386 console program, at most 64 KiB, only system DLL imports,
# manifest and version resources present. Prints its size and imports. Exits non-zero on failure.
# Usage: scripts/check_exe.sh [path/to/tembra-uninstall.exe]
set -euo pipefail
cd "$(dirname "$0")/.."
exe=${1:-build/mingw-x86/tembra-uninstall.exe}
# The MinGW-w64 binutils' own tools: a release machine has them, and need not have the host's.
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
strings=${STRINGS:-i686-w64-mingw32-strings}
max_size=65536
allowed='^(KERNEL32|ADVAPI32|ntdll|msvcrt)\.dll$'

if [[ ! -f $exe ]]; then
  echo "check_exe: $exe not found (build the mingw-x86 preset first)" >&2
  exit 1
fi
failed=0
fail() {
  echo "check_exe: FAIL: $*" >&2
  failed=1
}

size=$(stat -c %s "$exe")
echo "size: $size bytes (limit $max_size)"
((size <= max_size)) || fail "size $size exceeds $max_size"

headers=$("$objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image"
grep -q '^Magic.*(PE32)' <<<"$headers" || fail "not PE32"
grep -q '^Subsystem.*(Windows CUI)' <<<"$headers" || fail "not a console program"

mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
echo "imports: ${imports[*]:-none}"
for dll in "${imports[@]}"; do
  [[ $dll =~ $allowed ]] || fail "import outside the system set: $dll"
done

# Resource type 24 with the manifest text, and the version block.
grep -q 'Resource Directory \[.rsrc\]' <<<"$headers" || fail "no resource section"
"$strings" "$exe" | grep -q 'requestedExecutionLevel level="asInvoker" uiAccess="false"' ||
  fail "manifest with asInvoker missing"
"$strings" -el "$exe" | grep -qx 'tembra-uninstall.exe' || fail "version resource missing"

((failed == 0)) && echo "check_exe: OK"
exit "$failed"
