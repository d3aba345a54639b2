#!/usr/bin/env bash
# The program's source rooms and what each may include. A file in src/<room>/ includes only files
# of its own room or of rooms below it; tests/unit/<room>/ likewise, from src/ and tests/unit/,
# and also the shared test helpers (tests/unit/<helpers>/ or files at the top of tests/unit/),
# which may include any room. fuzz/ may include anything. Every file under src/ lies in a room.
# Includes are resolved as the compiler does for the project: next to the including file first,
# then under src/ and tests/unit/; includes of files outside the tree (system, GoogleTest) pass.
# Usage: scripts/check_layers.sh [root]   (default: this repository). Exits non-zero on a finding.
set -euo pipefail
shopt -s nullglob
root=$(realpath "${1:-$(dirname "$0")/..}")
cd "$root"

# Bottom to top.
rooms=(platform base console service report app)
helpers=support

status=0
fail() {
  echo "layers: $*" >&2
  status=1
}

# The rank of a room (0 at the bottom), or nothing for an unknown name.
rank() {
  local i
  for i in "${!rooms[@]}"; do
    if [[ ${rooms[i]} == "$1" ]]; then
      echo "$i"
      return
    fi
  done
}

# Where a repository path lies: "<rank> <room>" in src/<room>/ and tests/unit/<room>/ (no rank
# for an unknown room, or for a file directly in src/), "helper" for the shared test helpers and
# "free" for anything else.
place() {
  local path=$1 rest room
  case $path in
    src/*) rest=${path#src/} ;;
    tests/unit/*) rest=${path#tests/unit/} ;;
    *) echo free && return ;;
  esac
  room=${rest%%/*}
  if [[ $path == tests/* && ($rest != */* || $room == "$helpers") ]]; then
    echo helper
  else
    echo "$(rank "$room") $room"
  fi
}

if [[ ! -d src ]]; then
  fail "no src/ folder under $root"
  exit 1
fi
for entry in src/*; do
  if [[ -d $entry ]]; then
    [[ -n $(rank "${entry#src/}") ]] || fail "$entry/: not a room"
  else
    fail "$entry: outside any room"
  fi
done
for entry in tests/unit/*/; do
  [[ -d $entry ]] || continue
  entry=${entry%/}
  name=${entry#tests/unit/}
  if [[ $name != "$helpers" && -z $(rank "$name") ]]; then
    fail "$entry/: neither a room nor the test helpers ($helpers/)"
  fi
done

include='^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]+)[">]'
while IFS= read -r -d '' file; do
  from=$(place "$file")
  [[ $from == free || $from == helper ]] && continue
  from_rank=${from%% *}
  [[ -n $from_rank ]] || continue # in an unknown room, reported above
  while IFS=: read -r line text; do
    [[ $text =~ $include ]] || continue
    name=${BASH_REMATCH[1]}
    target=
    for base in "${file%/*}" src tests/unit; do
      if [[ -f $base/$name ]]; then
        target=$(realpath -m --relative-to=. "$base/$name")
        break
      fi
    done
    [[ -n $target ]] || continue
    to=$(place "$target")
    case $to in
      free) fail "$file:$line: includes \"$name\" ($target), outside the rooms" ;;
      helper)
        [[ $file == tests/* ]] || fail "$file:$line: includes \"$name\", a test helper" ;;
      *)
        to_rank=${to%% *}
        if [[ -z $to_rank ]]; then
          fail "$file:$line: includes \"$name\" ($target), not in a room"
        elif ((to_rank > from_rank)); then
          fail "$file:$line: includes \"$name\": room ${to#* } is above ${from#* }"
        elif [[ $file == src/* && $target == tests/* ]]; then
          fail "$file:$line: includes \"$name\", a test file"
        fi
        ;;
    esac
  done < <(grep -n '#' "$file" || true)
done < <(find src tests/unit -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)

if ((status == 0)); then
  echo "layers: every include stays in its room or below (${rooms[*]})"
else
  echo "layers: rooms, bottom to top: ${rooms[*]}; each includes only itself and rooms below" >&2
fi
exit "$status"
