#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ (clang, host, AddressSanitizer and UndefinedBehaviorSanitizer,
# the program's code on the simulated platform) and runs each for a bounded time from its seed
# corpus. Exits non-zero when a build fails or a target finds a fault.
# Usage: scripts/fuzz.sh [seconds per target, default 20] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true

# GCC 12's <expected> is guarded by __cpp_concepts >= 202002, which clang up to 18 does not claim
# although clang 16 implements what the guard stands for (conditionally trivial special members);
# clang 14 does not, and fails on std::expected even with the guard lifted. So: clang 16 or newer,
# told the concepts level it has.
concepts=(-U__cpp_concepts -D__cpp_concepts=202002L)
cxx=${FUZZ_CXX:-}
if [[ -z $cxx ]]; then
  for candidate in clang++-16 clang++-17 clang++-18 clang++-19 clang++; do
    if command -v "$candidate" >/dev/null &&
      printf '#include <expected>\nstruct M { M() = default; M(M&&) = default; };\nstd::expected<M, int> a, b = std::move(a);\n' |
      "$candidate" -std=c++2b "${concepts[@]}" -x c++ -fsyntax-only - 2>/dev/null; then
      cxx=$candidate
      break
    fi
  done
fi
if [[ -z $cxx ]]; then
  echo "fuzz: no clang that compiles std::expected; install clang-16 and libclang-rt-16-dev" >&2
  exit 1
fi

out=build/fuzz
mkdir -p "$out/obj" "$out/work"
# Debug information names the files relative to the top folder, as the compiler cache needs.
flags=(-std=c++2b "${concepts[@]}" -g -O1 -Wall -Wextra -Wpedantic -Werror -Isrc -Ifuzz
  -fno-omit-frame-pointer -fno-sanitize-recover=all "-fdebug-prefix-map=$(realpath .)=.")
# shellcheck source=scripts/cache.sh
source scripts/cache.sh
mapfile -t launcher < <(compiler_cache .)

# The program's code with the simulator, compiled once for every target: through the compiler
# cache when there is one, else whenever a source or header is newer than the object.
mapfile -t sources < <(find src -name '*.cpp' -not -path '*/windows/*' | sort)
objects=()
for source in "${sources[@]}"; do
  object=$out/obj/$(echo "${source%.cpp}" | tr / _).o
  if ((${#launcher[@]})) || [[ ! -f $object || $source -nt $object ]] ||
    find src -name '*.h' -newer "$object" | grep -q .; then
    "${launcher[@]}" "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link,address,undefined \
      -c "$source" -o "$object"
  fi
  objects+=("$object")
done

if (($# == 0)); then
  for source in fuzz/*_fuzz.cpp; do
    name=${source##*/}
    set -- "$@" "${name%_fuzz.cpp}"
  done
fi
status=0
for target in "$@"; do
  exe=$out/$target
  "$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined "fuzz/${target}_fuzz.cpp" \
    "${objects[@]}" -o "$exe"
  # New inputs go to a scratch corpus; the seeds in fuzz/corpus/ stay as committed.
  work=$out/work/$target
  mkdir -p "$work"
  echo "fuzz: $target for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$out/$target-" \
    "$work" "fuzz/corpus/$target" 2>"$out/$target.log"; then
    echo "fuzz: $target FAILED; see $out/$target.log and the crash input $out/$target-*" >&2
    echo "fuzz: once fixed, add that input to fuzz/corpus/$target/: ctest replays the corpus" >&2
    tail -30 "$out/$target.log" >&2
    status=1
  else
    grep -E '^#[0-9]+.*DONE' "$out/$target.log" | tail -1 || true
  fi
done
exit "$status"
