#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test: installs the missing packages when run
# as root (otherwise prints what to install and fails), then makes sure 32-bit programs start,
# through qemu-user when the kernel cannot run them itself. Safe to run again; may be sourced.
# Package sets: none given, everything scripts/test.sh uses; "demo", what scripts/demo.sh uses
# (the MinGW-w64 build and Wine; qemu-user only where the kernel needs it); "release", what a
# release from an extracted source archive needs (scripts/release.sh adds git in a clone,
# osslsigncode to sign, and libengine-pkcs11-openssl to sign with a key on a token), and no 32-bit
# check.
# A failing `apt-get update` (a mirror in the middle of a sync, say) is tried again
# TEMBRA_APT_TRIES times (default 4), TEMBRA_APT_PAUSE seconds apart (default 30), and then the
# install is tried anyway: the index that failed may hold none of the packages needed. Should the
# install fail then, it is tried once more with the suites whose index failed left out.
# Usage: scripts/setup.sh [demo | release]

# Building the exe (objdump and strings come with the MinGW-w64 binutils), and running it under
# Wine: wine32-preloader keeps a start under qemu-user at about 1.5 s instead of 50 s.
# qemu-user-static comes only where the kernel runs no 32-bit programs itself.
_setup_build_packages=(cmake ninja-build g++-mingw-w64-i686-posix)
_setup_wine_packages=(wine wine32:i386 wine64 wine32-preloader:i386)
_setup_demo_packages=("${_setup_build_packages[@]}" "${_setup_wine_packages[@]}")
# Writing a release's bill of materials and its zip.
_setup_release_packages=("${_setup_build_packages[@]}" zip jq)
_setup_packages=("${_setup_release_packages[@]}" "${_setup_wine_packages[@]}" git g++
  libgtest-dev libgmock-dev clang-format gcovr clang-16 libclang-rt-16-dev clang-tidy-16 nsis
  wixl msitools reuse)
# The compiler cache scripts/test.sh and scripts/fuzz.sh compile through (scripts/cache.sh).
_setup_packages+=(ccache)
# scripts/lint.sh's check of the shell scripts.
_setup_packages+=(shellcheck)
# Signing and checking a release. Debian 12's osslsigncode 2.5 does all the release needs (2.9,
# from backports, too); the release is signed once with a key on a token, SoftHSM's, through
# OpenSSL's pkcs11 engine.
_setup_packages+=(osslsigncode openssl unzip softhsm2 libengine-pkcs11-openssl)
# node and npm (for the workflow and SBOM validators) may come from elsewhere than Debian, as on a
# machine image that has its own; Debian's packages are installed only when either command is
# missing.
command -v node >/dev/null && command -v npm >/dev/null || _setup_packages+=(nodejs npm)

# Where apt reads its sources (one-line .list files and deb822 .sources files).
_setup_source_list=/etc/apt/sources.list
_setup_source_parts=/etc/apt/sources.list.d
if command -v apt-config >/dev/null; then
  eval "$(apt-config shell _setup_source_list Dir::Etc::SourceList/f \
    _setup_source_parts Dir::Etc::SourceParts/d 2>/dev/null)"
fi

_setup_installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

_setup_root() { ((EUID == 0)); }

# _setup_packages_present [package...]: installs those missing (default: the whole test set-up).
_setup_packages_present() {
  local missing=() package wanted=("$@") architecture=
  ((${#wanted[@]})) || wanted=("${_setup_packages[@]}")
  if ! command -v dpkg-query >/dev/null; then
    echo "setup: this is not a Debian system; install the equivalents of: ${wanted[*]}" >&2
    return 1
  fi
  for package in "${wanted[@]}"; do
    _setup_installed "$package" || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  [[ " ${missing[*]}" == *:i386* ]] && architecture="dpkg --add-architecture i386 && "
  if ! _setup_root; then
    echo "setup: missing packages. As root, run:" >&2
    echo "  ${architecture}apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    return 1
  fi
  echo "setup: installing ${missing[*]}"
  if [[ -n $architecture ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || return 1
  fi
  _setup_apt_install "${missing[@]}"
}

_setup_updated=        # yes or no once this run has updated apt's index
_setup_update_errors=  # the lines of that update that name what it could not fetch

# A mirror caught in the middle of a sync fails `apt-get update` on one index ("File has unexpected
# size ... Mirror sync in progress?") for some minutes, at times for days; the packages wanted may
# well lie elsewhere.
_setup_apt_install() {
  local tries=${TEMBRA_APT_TRIES:-4} pause=${TEMBRA_APT_PAUSE:-30} try=1 log failed
  log=$(mktemp) || return 1
  # One update a run: a later install (qemu-user, once the 32-bit check asks for it) takes the
  # first one's outcome.
  while [[ -z $_setup_updated ]]; do
    # In a condition, so that a caller's errexit leaves the failure to this loop.
    if apt-get update 2>&1 | tee -a "$log"; ((PIPESTATUS[0] == 0)); then
      _setup_updated=yes
    elif ((try >= tries)); then
      _setup_updated=no
      echo "setup: apt-get update failed $tries times; trying the install anyway, as the index" \
        "that failed may not matter"
    else
      echo "setup: apt-get update failed (try $try of $tries); trying again in $pause s"
      sleep "$pause"
      try=$((try + 1))
    fi
    _setup_update_errors=$(grep -E '^(Err:[0-9]|E: Failed to fetch )' "$log")
  done
  printf '%s\n' "$_setup_update_errors" >"$log"
  if _setup_apt_get install "$@" 2>&1 | tee -a "$log"; ((PIPESTATUS[0] == 0)); then
    rm -f "$log"
    return 0
  fi
  [[ $_setup_updated == no ]] && _setup_install_without_failed_suites "$log" "$@" && {
    rm -f "$log"
    return 0
  }
  # "Err:5 <index>" names an index; "E: Failed to fetch <URL>  <why>" says what went wrong.
  failed=$(sed -n 's/^Err:[0-9]* */  /p; s/^E: Failed to fetch /  /p' "$log" | LC_ALL=C sort -u)
  if [[ -n $failed ]]; then
    echo "setup: apt-get install failed, and apt-get could not fetch:" >&2
    echo "$failed" >&2
    echo "setup: a mirror in the middle of a sync (\"Mirror sync in progress?\") passes within" \
      "minutes to an hour: retrying later usually helps" >&2
  else
    echo "setup: apt-get install failed (its messages above)" >&2
  fi
  rm -f "$log"
  return 1
}

_setup_apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y --no-install-recommends "$@"; }

# _setup_install_without_failed_suites LOG PACKAGE...: with one index of a suite missing, the rest
# of that suite can still be chosen and clash with the other suites (amd64 libraries from
# bookworm-security, their i386 twins from bookworm: "held broken packages"). Installs once more
# from every configured source but the suites that the update in LOG could not fetch
# ("Err:5 <URI> <suite>/<component> <arch> Packages", "Err:1 <URI> <suite> InRelease").
_setup_install_without_failed_suites() {
  local log=$1 uri suite left_out=() sources status
  shift
  sources=$(mktemp -d) || return 1
  while read -r uri suite; do
    left_out+=("$suite ($uri)")
    _setup_sources_without "${uri%/}" "$suite" "$sources"
  done < <(sed -n 's|^Err:[0-9]* *\([^ ]*\) \([^ /]*\)[^ ]* .*|\1 \2|p' "$log" | LC_ALL=C sort -u)
  if ((${#left_out[@]} == 0)); then
    rm -rf "$sources"
    return 1
  fi
  echo "setup: ****************************************************************************"
  echo "setup: trying the install once more WITHOUT $(printf '%s, ' "${left_out[@]}" | sed 's/, $//'),"
  echo "setup: whose index could not be fetched: the packages come from the other suites, and"
  echo "setup: the left-out suite's (security) updates come later with:"
  echo "setup:   apt-get update && apt-get upgrade"
  echo "setup: ****************************************************************************"
  _setup_apt_get -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$sources" \
    install "$@" 2>&1
  status=$?
  rm -rf "$sources"
  return "$status"
}

# _setup_sources_without URI SUITE DIR: copies of the configured source files into DIR (or, when
# DIR already holds one, that copy again) without SUITE of URI.
_setup_sources_without() {
  local uri=$1 suite=$2 dir=$3 file copy
  [[ -f $dir/00-sources.list ]] || cp "$_setup_source_list" "$dir/00-sources.list" 2>/dev/null ||
    : >"$dir/00-sources.list"
  for file in "$_setup_source_parts"/*.list "$_setup_source_parts"/*.sources; do
    [[ -f $file ]] || continue
    [[ -f $dir/${file##*/} ]] || cp "$file" "$dir/"
  done
  for copy in "$dir"/*.list "$dir"/*.sources; do
    [[ -f $copy ]] || continue
    if [[ $copy == *.sources ]]; then
      _setup_deb822_without "$uri" "$suite" <"$copy" >"$copy.new"
    else
      _setup_one_line_without "$uri" "$suite" <"$copy" >"$copy.new"
    fi
    mv "$copy.new" "$copy"
  done
}

# "deb [options] URI SUITE COMPONENT...": the lines of SUITE at URI become comments.
_setup_one_line_without() {
  awk -v uri="$1" -v suite="$2" '
    $1 == "deb" || $1 == "deb-src" {
      i = 2
      if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
      u = $i; sub(/\/+$/, "", u)
      if (u == uri && $(i + 1) == suite) { print "# left out: " $0; next }
    }
    { print }'
}

# deb822 stanzas: SUITE goes from the Suites field of a stanza whose URIs hold URI, and a stanza
# left with no suite goes.
_setup_deb822_without() {
  awk -v uri="$1" -v suite="$2" '
    BEGIN { RS = ""; FS = "\n" }
    {
      ours = 0
      for (i = 1; i <= NF; i++)
        if (tolower($i) ~ /^uris:/) {
          n = split(substr($i, 6), words, /[ \t]+/)
          for (j = 1; j <= n; j++) { w = words[j]; sub(/\/+$/, "", w); if (w == uri) ours = 1 }
        }
      kept = $0
      if (ours) {
        kept = ""; left = 1
        for (i = 1; i <= NF; i++) {
          line = $i
          if (tolower(line) ~ /^suites:/) {
            n = split(substr(line, 8), words, /[ \t]+/); line = "Suites:"; left = 0
            for (j = 1; j <= n; j++)
              if (words[j] != "" && words[j] != suite) { line = line " " words[j]; left = 1 }
          }
          kept = kept line "\n"
        }
        if (!left) next
        sub(/\n$/, "", kept)
      }
      printf "%s%s\n", (printed++ ? "\n" : ""), kept
    }'
}

_setup_loader=/lib/i386-linux-gnu/ld-linux.so.2
_setup_binfmt=/proc/sys/fs/binfmt_misc
_setup_qemu=/usr/bin/qemu-i386-static

_setup_runs_32_bit() { "$_setup_loader" --help >/dev/null 2>&1; }

# Kernels built without 32-bit emulation refuse i386 ELF files with "Exec format error"; with
# qemu-i386 registered for them (F: the interpreter is opened now, so it works in any mount
# namespace) they run emulated, and 32-bit Wine with them.
_setup_32_bit() {
  _setup_runs_32_bit && return 0
  local why
  why=$("$_setup_loader" --help 2>&1 >/dev/null)
  if [[ ! -x $_setup_loader ]]; then
    echo "setup: $_setup_loader is missing (package libc6:i386, pulled in by wine32:i386)" >&2
    return 1
  fi
  if [[ $why != *"Exec format error"* ]]; then
    echo "setup: 32-bit programs do not start: $why" >&2
    return 1
  fi
  [[ -x $_setup_qemu ]] || _setup_packages_present qemu-user-static || return 1
  if [[ -e $_setup_binfmt/qemu-i386 ]]; then
    echo "setup: qemu-i386 is registered with binfmt_misc, yet 32-bit programs do not start:" >&2
    cat "$_setup_binfmt/qemu-i386" >&2
    return 1
  fi
  if ((EUID != 0)); then
    echo "setup: this kernel runs no 32-bit programs. As root, register qemu-user for them:" >&2
    echo "  mount -t binfmt_misc binfmt_misc $_setup_binfmt  # unless mounted" >&2
    # shellcheck disable=SC2028  # the backslashes are meant literally
    echo "  echo ':qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$_setup_qemu:F' > $_setup_binfmt/register" >&2
    return 1
  fi
  if [[ ! -e $_setup_binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$_setup_binfmt" || {
      echo "setup: cannot mount binfmt_misc at $_setup_binfmt" >&2
      return 1
    }
  fi
  echo "setup: registering $_setup_qemu for 32-bit ELF programs"
  # The kernel decodes the \x escapes itself.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$_setup_binfmt/register" || {
    echo "setup: cannot register qemu-i386 with binfmt_misc" >&2
    return 1
  }
  _setup_runs_32_bit || {
    echo "setup: 32-bit programs still do not start after registering qemu-i386" >&2
    return 1
  }
}

# setup_machine [demo | release]
setup_machine() {
  case ${1:-} in
    release) _setup_packages_present "${_setup_release_packages[@]}" ;;
    demo) _setup_packages_present "${_setup_demo_packages[@]}" && _setup_32_bit ;;
    '') _setup_packages_present && _setup_32_bit ;;
    *)
      echo "setup: unknown package set $1 (usage: scripts/setup.sh [demo | release])" >&2
      return 2
      ;;
  esac
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  setup_machine "$@"
  exit $?
fi
