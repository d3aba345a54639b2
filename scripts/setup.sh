#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test: installs the missing packages when run
# as root (otherwise prints what to install and fails), then makes sure 32-bit programs start,
# through qemu-user when the kernel cannot run them itself. Safe to run again; may be sourced.

_setup_packages=(cmake ninja-build g++ libgtest-dev libgmock-dev clang-format zip gcovr
  clang-16 libclang-rt-16-dev clang-tidy-16
  g++-mingw-w64-i686-posix wine wine32:i386 wine64 wine32-preloader:i386 qemu-user-static
  nsis wixl msitools)
# Signing and checking a release. Debian 12's osslsigncode 2.5 does all the release needs (2.9,
# from backports, too).
_setup_packages+=(osslsigncode openssl unzip)
# node and npm (for the workflow validator) may come from elsewhere than Debian, as on a machine
# image that has its own; Debian's packages are installed only when either command is missing.
command -v node >/dev/null && command -v npm >/dev/null || _setup_packages+=(nodejs npm)

_setup_installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

_setup_packages_present() {
  local missing=() package
  if ! command -v dpkg-query >/dev/null; then
    echo "setup: this is not a Debian system; install the equivalents of: ${_setup_packages[*]}" >&2
    return 1
  fi
  for package in "${_setup_packages[@]}"; do
    _setup_installed "$package" || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  if ((EUID != 0)); then
    echo "setup: missing packages. As root, run:" >&2
    echo "  dpkg --add-architecture i386 && apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    return 1
  fi
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386 || return 1
  fi
  apt-get update || return 1
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" || return 1
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

setup_machine() {
  _setup_packages_present && _setup_32_bit
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  setup_machine
  exit $?
fi
