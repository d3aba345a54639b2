#!/usr/bin/env bash
# Runs scripts/check_notices.sh on made-up link maps in GNU ld's format, naming the toolchain's
# real files: a map whose runtime files the notices all name must pass; a runtime file left
# unnamed, a code member of a system import library, a package version other than the one
# installed, or a package named whose files are not linked in must fail with a message naming it.
# Usage: scripts/check_notices_test.sh
set -euo pipefail
check=$(realpath "$(dirname "$0")/check_notices.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

gcc=i686-w64-mingw32-gcc-posix
crt2=$("$gcc" -print-file-name=crt2.o)
crtend=$("$gcc" -print-file-name=crtend.o)
mingw32=$("$gcc" -print-file-name=libmingw32.a)
kernel32=$("$gcc" -print-file-name=libkernel32.a)
runtime_package="mingw-w64-i686-dev $(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)"

# map [member line ...] -- [memory map line ...]: the exe's map, as ld writes it, with the given
# lines added to the list of archive members and to the memory map.
map() {
  local members=() layout=()
  while (($#)) && [[ $1 != -- ]]; do
    members+=("$1")
    shift
  done
  (($#)) && shift
  layout=("$@")
  {
    echo 'Archive member included to satisfy reference by file (symbol)'
    echo
    echo "$mingw32(lib32_libmingw32_a-gccmain.o)"
    echo "                              $crt2 (___main)"
    echo "$kernel32(libkernel32s00616.o)"
    echo '                              CMakeFiles/x.dir/src/a.cpp.obj (_imp__GetLastError@0)'
    printf '%s\n' "${members[@]}"
    echo
    echo 'Discarded input sections'
    echo
    echo " .text          0x00000000        0x0 $crt2"
    echo
    echo 'Memory Configuration'
    echo
    echo 'Linker script and memory map'
    echo
    echo "LOAD $crt2"
    echo 'LOAD CMakeFiles/x.dir/src/a.cpp.obj'
    echo "LOAD $mingw32"
    echo "LOAD $kernel32"
    echo '.text           0x00401000     0x6ff8'
    echo " .text          0x00401000       0x10 $crt2"
    echo ' .text          0x00401010       0x10 CMakeFiles/x.dir/src/a.cpp.obj'
    echo " .text          0x00401020       0x10 $mingw32(lib32_libmingw32_a-gccmain.o)"
    echo " .text          0x00401030        0x8 $kernel32(libkernel32s00616.o)"
    echo '.idata          0x0040c000      0x8ec'
    echo " .idata\$7       0x0040c000        0x4 $kernel32(libkernel32s00616.o)"
    printf '%s\n' "${layout[@]}"
  } >"$work/map"
}

notices() {
  printf '%s\n' 'Debian package:' "$@" >"$work/notices"
}
good_notices() {
  notices "$runtime_package" crt2.o libmingw32.a lib32_libmingw32_a-gccmain.o "$@"
}

# shellcheck source=scripts/expect.sh
source "$(dirname "$0")/expect.sh"
check_command=("$check" "$work/map" "$work/notices")

map
good_notices
expect pass "every runtime file named, import stubs aside"

map "$mingw32(lib32_libmingw32_a-tlssup.o)" -- \
  " .text          0x00401040       0x10 $mingw32(lib32_libmingw32_a-tlssup.o)"
expect fail "an archive member left unnamed" \
  "$(realpath "$mingw32")(lib32_libmingw32_a-tlssup.o) is linked into the exe, but notices does not name lib32_libmingw32_a-tlssup.o"

map -- "LOAD $crtend"
expect fail "an object file left unnamed" \
  "$(realpath "$crtend") is linked into the exe, but notices does not name crtend.o"

map "$kernel32(lib32_libkernel32_a-code.o)" -- \
  " .text          0x00401040       0x10 $kernel32(lib32_libkernel32_a-code.o)"
expect fail "code, not an import stub, from a system import library" \
  "$(realpath "$kernel32")(lib32_libkernel32_a-code.o) is linked into the exe, but notices does not name libkernel32.a"

map
notices "mingw-w64-i686-dev 0.1-1" crt2.o libmingw32.a lib32_libmingw32_a-gccmain.o
expect fail "another package version" "does not name $runtime_package"

map
good_notices "Debian package: gcc-mingw-w64-i686-posix 1"
expect fail "a package named that the exe holds nothing of" \
  "names the Debian package gcc-mingw-w64-i686-posix, but the exe holds no file of it"

expect_done "OK: the notice check passes a map the notices cover and fails each miss"
