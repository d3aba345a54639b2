#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test: installs the missing packages when run
# as root (otherwise prints what to install and fails), then makes sure 32-bit programs start,
# through qemu-user when the kernel cannot run them itself. Safe to run again; may be sourced.
# With "release", only what a release from an extracted source archive needs (scripts/release.sh
# adds git in a clone and osslsigncode to sign), and no 32-bit check.
# A failing `apt-get update` (a mirror in the middle of a sync, say) is tried again
# TEMBRA_APT_TRIES times (default 4), TEMBRA_APT_PAUSE seconds apart (default 30), and then the
# install is tried anyway: the index that failed may hold none of the packages needed.
# Usage: scripts/setup.sh [release]

# Building the release exe, checking it (objdump and strings come with the MinGW-w64 binutils),
# writing its bill of materials and its zip.
_setup_release_packages=(cmake ninja-build g++-mingw-w64-i686-posix zip jq)
_setup_packages=("${_setup_release_packages[@]}" git g++ libgtest-dev libgmock-dev clang-format
  gcovr clang-16 libclang-rt-16-dev clang-tidy-16
  wine wine32:i386 wine64 wine32-preloader:i386 qemu-user-static nsis wixl msitools reuse)
# Signing and checking a release. Debian 12's osslsigncode 2.5 does all the release needs (2.9,
# from backports, too).
_setup_packages+=(osslsigncode openssl unzip)
# node and npm (for the workflow and SBOM validators) may come from elsewhere than Debian, as on a
# machine image that has its own; Debian's packages are installed only when either command is
# missing.
command -v node >/dev/null && command -v npm >/dev/null || _setup_packages+=(nodejs npm)

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

# A mirror caught in the middle of a sync fails `apt-get update` on one index ("File has unexpected
# size ... Mirror sync in progress?") for some minutes; the packages wanted may well lie elsewhere.
_setup_apt_install() {
  local tries=${TEMBRA_APT_TRIES:-4} pause=${TEMBRA_APT_PAUSE:-30} try=1 log updated=no failed
  log=$(mktemp) || return 1
  while :; do
    # In a condition, so that a caller's errexit leaves the failure to this loop.
    if apt-get update 2>&1 | tee -a "$log"; ((PIPESTATUS[0] == 0)); then
      updated=yes
      break
    fi
    ((try >= tries)) && break
    echo "setup: apt-get update failed (try $try of $tries); trying again in $pause s"
    sleep "$pause"
    try=$((try + 1))
  done
  [[ $updated == no ]] && echo "setup: apt-get update failed $tries times; trying the install" \
    "anyway, as the index that failed may not matter"
  if DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@" 2>&1 |
    tee -a "$log"; ((PIPESTATUS[0] == 0)); then
    rm -f "$log"
    return 0
  fi
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

# setup_machine [release]
setup_machine() {
  case ${1:-} in
    release) _setup_packages_present "${_setup_release_packages[@]}" ;;
    '') _setup_packages_present && _setup_32_bit ;;
    *)
      echo "setup: unknown package set $1 (usage: scripts/setup.sh [release])" >&2
      return 2
      ;;
  esac
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  setup_machine "$@"
  exit $?
fi
