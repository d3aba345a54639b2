#!/usr/bin/env bash
# Holds a link map of the exe against THIRD-PARTY-NOTICES.txt: every object file linked in from
# outside the build (crt2.o, an archive's member such as libgcc.a(_ctors.o)) must be named there,
# with its archive, and the Debian package it was installed by must be named there with the
# version installed here; a package the notices name ("Debian package: <name> <version>") must be
# one the exe holds files of. scripts/linked_packages.sh says what is linked in (import stubs for
# system DLLs aside: that is all the system import libraries may contribute).
# Exits non-zero, naming each file or package the notices miss or name wrongly.
# Usage: scripts/check_notices.sh [link map] [notices]
#   (default build/mingw-x86/tembra-uninstall.map and THIRD-PARTY-NOTICES.txt)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
map=${1:-$root/build/mingw-x86/tembra-uninstall.map}
notices=${2:-$root/THIRD-PARTY-NOTICES.txt}
if [[ ! -f $notices ]]; then
  echo "check_notices: $notices not found" >&2
  exit 1
fi
missing=0
linked=$("$root/scripts/linked_packages.sh" "$map") || missing=1
[[ -n $linked ]] || exit 1

# need <what> <name>: the notices must name <name> as a word.
need() {
  if ! grep -qwF -- "$2" "$notices"; then
    echo "check_notices: $1 is linked into the exe, but $(basename "$notices") does not name $2" >&2
    missing=$((missing + 1))
  fi
}
checked=0
while read -r package version _ file; do
  checked=$((checked + 1))
  archive=${file%%(*}
  need "$file" "$(basename "$archive")"
  if [[ $file != "$archive" ]]; then
    member=${file#"$archive("}
    need "$file" "${member%)}"
  fi
  need "$file" "$package $version"
done <<<"$linked"

packages=$(cut -d' ' -f1 <<<"$linked" | sort -u)
while read -r named; do
  if ! grep -qxF -- "$named" <<<"$packages"; then
    echo "check_notices: $(basename "$notices") names the Debian package $named, but the exe holds" \
      "no file of it" >&2
    missing=$((missing + 1))
  fi
done < <(sed -n 's/^Debian package: \([^ ]*\) .*/\1/p' "$notices" | sort -u)

if ((missing > 0)); then
  echo "check_notices: FAIL: $missing missing from or wrong in $notices" >&2
  exit 1
fi
echo "check_notices: OK: $checked runtime object files linked in, each named in" \
  "$(basename "$notices") with its package and version (import stubs for system DLLs aside)," \
  "and no other package named"
