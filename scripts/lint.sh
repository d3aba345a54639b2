#!/usr/bin/env bash
# clang-format (the project's .clang-format) on every tracked C++ file, the include layering of the
# source rooms (scripts/check_layers.sh), every file's copyright and licence (reuse lint, from
# .reuse/dep5 and LICENSES/), shellcheck on every tracked shell script, then clang-tidy
# (.clang-tidy) over src/ and tests/ with the host build's compile commands. Exits non-zero on any
# finding.
# clang-tidy runs JOBS units at a time (default 2) and skips a unit whose files, flags and
# configuration are unchanged since it was last found clean, in this clone or another one on the
# machine (scripts/cached_tidy.py; verdicts in the tidy/ folder of scripts/cache.sh's cache,
# delete it to analyse everything again).
# Usage: scripts/lint.sh   (configures build/host when its compile_commands.json is missing)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
status=0

format=${CLANG_FORMAT:-clang-format}
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! "$format" --dry-run --Werror "${files[@]}"; then
  echo "lint: clang-format findings above (fix with: $format -i <file>)" >&2
  status=1
fi

# The layering check first proves on made-up trees that it fails what it should.
if ! scripts/check_layers_test.sh || ! scripts/check_layers.sh; then
  status=1
fi

# reuse skips what .gitignore names (build/, dist/) in a git work tree. Elsewhere, as in an
# extracted source archive, it would read everything: there it lints a copy without the folders
# .gitignore names as /<folder>/.
if ! command -v reuse >/dev/null; then
  echo "lint: reuse not found; install Debian's reuse" >&2
  status=1
else
  reuse_root=.
  if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    reuse_root=$(mktemp -d)
    trap 'rm -rf "$reuse_root"' EXIT
    mapfile -t ignored < <(sed -n 's|^/\(.*\)/$|--exclude=./\1|p' .gitignore)
    tar -c "${ignored[@]}" . | tar -x -C "$reuse_root"
  fi
  if ! reuse_log=$(reuse --root "$reuse_root" lint 2>&1); then
    echo "$reuse_log" >&2
    echo "lint: reuse lint findings above (copyright and licence: .reuse/dep5, LICENSES/)" >&2
    status=1
  fi
fi

# Every tracked shell script, with what it sources.
if ! command -v shellcheck >/dev/null; then
  echo "lint: shellcheck not found; install Debian's shellcheck" >&2
  status=1
else
  mapfile -t scripts < <(git ls-files '*.sh')
  if ((${#scripts[@]} > 0)) && ! shellcheck -x "${scripts[@]}"; then
    echo "lint: shellcheck findings above" >&2
    status=1
  fi
fi

# clang-tidy 16 or newer: 14 cannot parse GCC 12's std::expected. The concepts level is lifted as
# in the fuzz build (clang 16 implements what the header's guard asks for).
tidy=${CLANG_TIDY:-}
if [[ -z $tidy ]]; then
  for candidate in clang-tidy-19 clang-tidy-18 clang-tidy-17 clang-tidy-16; do
    if command -v "$candidate" >/dev/null; then
      tidy=$candidate
      break
    fi
  done
fi
if [[ -z $tidy ]]; then
  echo "lint: clang-tidy 16 or newer not found; install clang-tidy-16" >&2
  exit 1
fi
if [[ ! -f build/host/compile_commands.json ]]; then
  cmake --preset host >/dev/null || exit 1
fi
mapfile -t units < <(git ls-files 'src/*.cpp' 'tests/*.cpp' | grep -v '^src/.*/windows/')
# shellcheck source=scripts/cache.sh
source scripts/cache.sh
if ! scripts/cached_tidy.py --tidy "$tidy" -p build/host --cache "$cache_dir/tidy" --root . \
  --jobs "${JOBS:-2}" \
  --extra-arg=-std=c++2b --extra-arg=-U__cpp_concepts --extra-arg=-D__cpp_concepts=202002L \
  "${units[@]}"; then
  echo "lint: clang-tidy findings above" >&2
  status=1
fi
exit "$status"
