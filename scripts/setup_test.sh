#!/usr/bin/env bash
# Runs scripts/setup.sh's install, as root, against stand-ins for apt-get and dpkg-query on PATH:
# apt-get update fails the given number of times as a mirror in the middle of a sync makes it fail
# (one index of unexpected size), then passes; apt-get install passes or fails. A passing fault
# must be outlived by trying the update again, a lasting one by installing anyway, and when the
# install fails too, the message must name the index and say that retrying later helps.
# Usage: scripts/setup_test.sh
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# Every package is missing.
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
echo "dpkg-query: no packages found matching $*" >&2
exit 1
STANDIN
# Writes each call to $STANDIN_CALLS; fails the first $STANDIN_UPDATE_FAILS updates, and the install
# when $STANDIN_INSTALL is "fail".
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/bash
echo "$1" >>"$STANDIN_CALLS"
index=http://deb.debian.org/debian-security
case $1 in
  update)
    echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
    if (($(grep -c '^update$' "$STANDIN_CALLS") <= STANDIN_UPDATE_FAILS)); then
      echo "Err:5 $index bookworm-security/main i386 Packages"
      echo "  File has unexpected size (103164 != 103676). Mirror sync in progress? [IP: 151.101.2.132 80]"
      echo "E: Failed to fetch $index/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (103164 != 103676). Mirror sync in progress? [IP: 151.101.2.132 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    ;;
  install)
    if [[ $STANDIN_INSTALL == fail ]]; then
      echo "E: Unable to locate package ${*: -1}"
      exit 100
    fi
    ;;
esac
STANDIN
chmod +x "$work/bin/"*

# shellcheck source=scripts/setup.sh
source "$(dirname "$0")/setup.sh"
_setup_root() { true; }
export PATH=$work/bin:$PATH STANDIN_CALLS=$work/calls TEMBRA_APT_TRIES=3 TEMBRA_APT_PAUSE=0

# install <failing updates> <pass|fail>: setup's own lines and apt-get's calls.
install() {
  : >"$STANDIN_CALLS"
  local status=0
  STANDIN_UPDATE_FAILS=$1 STANDIN_INSTALL=$2 _setup_packages_present zip jq >"$work/out" 2>&1 ||
    status=$?
  grep -E '^(setup:|  http)' "$work/out" || true
  echo "apt-get calls: $(tr '\n' ' ' <"$STANDIN_CALLS")"
  return "$status"
}

# shellcheck source=scripts/expect.sh
source "$(dirname "$0")/expect.sh"
index="http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
check_command=(install 2 pass)
expect pass "update fails twice, then passes" "apt-get calls: update update update install "
check_command=(install 9 pass)
expect pass "update keeps failing, the install passes" \
  "trying the install anyway" "apt-get calls: update update update install "
check_command=(install 9 fail)
expect fail "update keeps failing, and the install fails" "could not fetch:
  $index
  ${index% bookworm*}/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size" \
  "retrying later usually helps" "apt-get calls: update update update install "
check_command=(install 0 fail)
expect fail "the install fails after a passing update" "(its messages above)" \
  "apt-get calls: update install "

expect_done "OK: set-up tries a failing apt-get update again, installs anyway, and names the index"
