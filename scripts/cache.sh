# shellcheck shell=bash
# Sourced by scripts/test.sh, lint.sh, fuzz.sh and tests/release/run.sh: the caches that the
# clones of the project on one machine share, each keyed by the content of what it stands for, so
# that a fresh clone need not compile and analyse again what another clone already has. Only the
# work of a compiler or an analyser is kept, never the outcome of a test.
#   ccache/  the compiler cache (Debian's ccache): an object is taken from it only when the
#            compiler, its arguments and the bytes of every file the compile reads are the same.
#            Paths under the clone enter that key relative to it (CCACHE_BASEDIR), which is why
#            the compilers are handed relative paths and the debug-info builds map the clone's
#            path away (-fdebug-prefix-map): what was compiled elsewhere then holds no path of
#            another clone. Objects with line counts are shared too: their counts go to a folder
#            relative to where a test runs (-fprofile-dir, see CMakeLists.txt), and the folder
#            their .gcno names (gcno_cwd: the clone that compiled them) is not what gcovr reads.
#   tidy/    scripts/cached_tidy.py's clean verdicts.
# TEMBRA_CACHE moves them (default ${XDG_CACHE_HOME:-~/.cache}/tembra-uninstall); deleting the
# folder costs only time.
cache_dir=${TEMBRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tembra-uninstall}

# compiler_cache ROOT: the command that runs a compile through ccache for the clone at ROOT (the
# words, one a line; none without ccache).
compiler_cache() {
  command -v ccache >/dev/null || return 0
  printf '%s\n' env "CCACHE_DIR=$cache_dir/ccache" "CCACHE_BASEDIR=$(realpath "$1")" \
    CCACHE_SLOPPINESS=gcno_cwd ccache
}

# cmake_launcher ROOT: the same command as a CMake list, for CMAKE_CXX_COMPILER_LAUNCHER (empty
# without ccache).
cmake_launcher() {
  compiler_cache "$1" | paste -sd ';'
}
