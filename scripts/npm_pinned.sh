#!/usr/bin/env bash
# Installs npm packages at pinned versions into a folder of its own (under build/), unless the
# first one is there at its version already: the checks run these validators, never whatever
# versions the machine may have.
# Usage: scripts/npm_pinned.sh DIR PACKAGE@VERSION [PACKAGE@VERSION...]
set -euo pipefail
dir=$(realpath -m -- "$1")
shift
package=${1%@*} version=${1##*@}
installed=$(node -p 'require(process.argv[1]).version' \
  "$dir/node_modules/$package/package.json" 2>/dev/null) || true
[[ $installed == "$version" ]] || npm install --prefix "$dir" --no-save --no-audit --no-fund "$@"
