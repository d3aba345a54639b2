#!/usr/bin/env bash
# Prints "<package> <version>" for the Debian package that installed FILE (symbolic links and
# ../ followed), and with --arch its architecture too, or fails with a message when no package
# owns it.
# Usage: scripts/debian_package.sh [--arch] FILE
set -euo pipefail
# shellcheck disable=SC2016  # dpkg-query's fields
format='${Version}'
if [[ $1 == --arch ]]; then
  # shellcheck disable=SC2016
  format='${Version} ${Architecture}'
  shift
fi
file=$(realpath -m -- "$1")
package=$(dpkg-query -S "$file" 2>/dev/null |
  awk -F': ' -v file="$file" '$2 == file { sub(/:.*/, "", $1); print $1; exit }') || true
if [[ -z $package ]]; then
  echo "debian_package: no Debian package owns $file" >&2
  exit 1
fi
echo "$package $(dpkg-query -W -f="$format" "$package")"
