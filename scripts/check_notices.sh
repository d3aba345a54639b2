#!/usr/bin/env bash
# Holds a link map of the exe against THIRD-PARTY-NOTICES.txt: every object file linked in from
# outside the build (crt2.o, an archive's member such as libgcc.a(_ctors.o)) must be named there,
# with its archive, and the Debian package it was installed by must be named there with the
# version installed here. Members that bring import-table sections (.idata$N) are import stubs,
# the table entries through which the exe calls a system DLL, and need no notice: that is all the
# system import libraries (libkernel32.a, libadvapi32.a, libntdll.a) may contribute.
# Exits non-zero, naming each file the notices miss.
# Usage: scripts/check_notices.sh [link map] [notices]
#   (default build/mingw-x86/tembra-uninstall.map and THIRD-PARTY-NOTICES.txt)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
map=${1:-$root/build/mingw-x86/tembra-uninstall.map}
notices=${2:-$root/THIRD-PARTY-NOTICES.txt}
for file in "$map" "$notices"; do
  if [[ ! -f $file ]]; then
    echo "check_notices: $file not found" >&2
    exit 1
  fi
done
# Our own objects are named relative to the build folder, or lie inside it.
build=$(cd "$(dirname "$map")" && pwd)

# One line per linked object file: "object <path>" for one linked whole, "member <archive>
# <member>" for an archive's member, "stub <archive> <member>" once for each member that brings
# an import-table section.
linked=$(awk '
  /^Archive member included to satisfy reference/ { part = "members"; next }
  /^(Discarded input sections|Memory Configuration|Allocating common symbols)/ { part = "" }
  /^Linker script and memory map/ { part = "layout"; next }
  part == "members" && /^[^ \t].*\(.*\)$/ {
    open = index($0, "(")
    print "member", substr($0, 1, open - 1), substr($0, open + 1, length($0) - open - 1)
  }
  part == "layout" && $1 == "LOAD" && $2 ~ /^\// && $2 !~ /\.a$/ { print "object", $2 }
  # An input section: " .name address size file", or its name alone when it is long, the rest
  # on the next line.
  part == "layout" && /^ \.[^ ]+$/ { section = $1; next }
  part == "layout" && /^ \.[^ ]+ +0x/ { section = $1; sub(/^ \.[^ ]+/, "") }
  part == "layout" && section != "" && $1 ~ /^0x/ && $2 ~ /^0x/ && NF >= 3 {
    if (section ~ /^\.idata\$/ && match($3, /\(.*\)$/)) {
      print "stub", substr($3, 1, RSTART - 1), substr($3, RSTART + 1, RLENGTH - 2)
    }
    section = ""
    next
  }
  { section = "" }
' "$map" | sort -u)

ours() { [[ $1 != /* || $1 == "$build"/* ]]; }

missing=0
checked=0
declare -A packages=()
# need <what> <name>: the notices must name <name> as a word.
need() {
  if ! grep -qwF -- "$2" "$notices"; then
    echo "check_notices: $1 is linked into the exe, but $(basename "$notices") does not name $2" >&2
    missing=$((missing + 1))
  fi
}
# package <path>: the notices must name the package that installed the file, with its version.
package() {
  local real named
  real=$(realpath -m -- "$1")
  [[ -n ${packages[$real]:-} ]] && return 0
  packages[$real]=seen
  if ! named=$("$root/scripts/debian_package.sh" "$real"); then
    missing=$((missing + 1))
    return 0
  fi
  need "$real" "$named"
}

while read -r kind path member; do
  ours "$path" && continue
  case $kind in
    object)
      checked=$((checked + 1))
      need "$(realpath -m -- "$path")" "$(basename "$path")"
      package "$path"
      ;;
    member)
      grep -qxF "stub $path $member" <<<"$linked" && continue
      checked=$((checked + 1))
      need "$(realpath -m -- "$path")($member)" "$(basename "$path")"
      need "$(realpath -m -- "$path")($member)" "$member"
      package "$path"
      ;;
  esac
done <<<"$linked"

if ((checked == 0)); then
  echo "check_notices: $map shows no object file from outside the build: not a link map of the exe?" >&2
  exit 1
fi
if ((missing > 0)); then
  echo "check_notices: FAIL: $missing missing from $notices" >&2
  exit 1
fi
stubs=$(grep -c '^stub ' <<<"$linked" || true)
echo "check_notices: OK: $checked runtime object files linked in, each named in" \
  "$(basename "$notices") with its package and version ($stubs import stubs aside)"
