#!/usr/bin/env bash
# Lists what a link map of the exe shows linked in from outside the build, one line per runtime
# object file: "<package> <version> <architecture> <file>", the file being an object file's real
# path or an archive's with its member, as in /usr/lib/.../libgcc.a(_ctors.o), and the package the
# Debian package that installed it. Members that bring import-table sections (.idata$N) are import
# stubs, the table entries through which the exe calls a system DLL, and are left out. The notices
# check and the SBOM both read this list, so they cannot disagree about what the exe holds.
# Fails, naming it, on a file no package owns (after listing the rest), and on a map that shows
# nothing from outside the build.
# Usage: scripts/linked_packages.sh MAP
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
map=$1
if [[ ! -f $map ]]; then
  echo "linked_packages: $map not found" >&2
  exit 1
fi
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

listed=0
unowned=0
declare -A owner=()
while read -r kind path member; do
  ours "$path" && continue
  case $kind in
    object) file=$(realpath -m -- "$path") ;;
    member)
      grep -qxF "stub $path $member" <<<"$linked" && continue
      file="$(realpath -m -- "$path")($member)"
      ;;
    *) continue ;;
  esac
  real=${file%%(*}
  if [[ -z ${owner[$real]+set} ]]; then
    owner[$real]=$("$root/scripts/debian_package.sh" --arch "$real") || unowned=$((unowned + 1))
  fi
  [[ -n ${owner[$real]} ]] && echo "${owner[$real]} $file"
  listed=$((listed + 1))
done <<<"$linked"

if ((listed == 0)); then
  echo "linked_packages: $map shows no object file from outside the build: not a link map of the exe?" >&2
  exit 1
fi
((unowned == 0))
