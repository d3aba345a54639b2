#!/usr/bin/env bash
# Runs scripts/setup.sh's install, as root, against stand-ins for apt-get and dpkg-query on PATH:
# apt-get update fails the given number of times as a mirror in the middle of a sync makes it fail
# (one index of unexpected size), then passes; apt-get install passes, fails, or fails unless the
# suite of the failed index is left out. A passing fault must be outlived by trying the update
# again, a lasting one by installing anyway and then without that suite, and when the install
# fails even so, the message must name the index and say that retrying later helps.
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
# Writes each call to $STANDIN_CALLS ("install-without" for an install from other sources, whose
# files go to $STANDIN_SOURCES); fails the first $STANDIN_UPDATE_FAILS updates, and the install
# as $STANDIN_INSTALL says: "fail" always, "clash" unless the failed suite is left out.
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/bash
command= parts=
while (($#)); do
  case $1 in
    -o) [[ $2 == Dir::Etc::SourceParts=* ]] && parts=${2#*=}; shift ;;
    -*) ;;
    *) command=${command:-$1} ;;
  esac
  shift
done
[[ $command == install && -n $parts ]] && command=install-without && cat "$parts"/* >"$STANDIN_SOURCES"
echo "$command" >>"$STANDIN_CALLS"
index=http://deb.debian.org/debian-security
case $command in
  update)
    echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
    if (($(grep -c '^update$' "$STANDIN_CALLS") <= STANDIN_UPDATE_FAILS)); then
      echo "Err:5 $index bookworm-security/main i386 Packages"
      echo "  File has unexpected size (103164 != 103676). Mirror sync in progress? [IP: 151.101.2.132 80]"
      echo "Err:6 $index bookworm-security/contrib i386 Packages"
      echo "E: Failed to fetch $index/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (103164 != 103676). Mirror sync in progress? [IP: 151.101.2.132 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    ;;
  install)
    if [[ $STANDIN_INSTALL == fail || $STANDIN_INSTALL == clash ]]; then
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
    ;;
  install-without)
    [[ $STANDIN_INSTALL == fail ]] && exit 100
    ;;
esac
exit 0
STANDIN
chmod +x "$work/bin/"*

# The sources as configured: both formats, options in brackets, a trailing slash, a disabled file.
mkdir -p "$work/etc/sources.list.d"
cat >"$work/etc/sources.list" <<'SOURCES'
deb [arch=amd64,i386] http://deb.debian.org/debian-security/ bookworm-security main
deb http://ftp.example.org/debian bookworm-backports main
SOURCES
cat >"$work/etc/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb
# a comment
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main contrib
SOURCES
echo "deb http://deb.debian.org/debian-security bookworm-security main" \
  >"$work/etc/sources.list.d/other.list.disabled"

# shellcheck source=scripts/setup.sh
source "$(dirname "$0")/setup.sh"
_setup_root() { true; }
_setup_source_list=$work/etc/sources.list
_setup_source_parts=$work/etc/sources.list.d
export PATH=$work/bin:$PATH STANDIN_CALLS=$work/calls STANDIN_SOURCES=$work/sources
export TEMBRA_APT_TRIES=3 TEMBRA_APT_PAUSE=0

# install <failing updates> <pass|clash|fail> [again]: setup's own lines, apt-get's calls, and the lines
# that name a suite in the sources of a second install.
install() {
  : >"$STANDIN_CALLS"
  rm -f "$STANDIN_SOURCES"
  local status=0
  {
    STANDIN_UPDATE_FAILS=$1 STANDIN_INSTALL=$2 _setup_packages_present zip jq &&
      if [[ ${3:-} == again ]]; then _setup_packages_present unzip; fi
  } >"$work/out" 2>&1 || status=$?
  grep -E '^(setup:|  http)' "$work/out" || true
  echo "apt-get calls: $(tr '\n' ' ' <"$STANDIN_CALLS")"
  if [[ -f $STANDIN_SOURCES ]]; then
    grep -iE '^(deb|# left|suites)' "$STANDIN_SOURCES" | sed 's/^/sources: /'
    echo "other lines naming bookworm-security: $(grep -v '^#' "$STANDIN_SOURCES" | grep -c bookworm-security)"
  fi
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
check_command=(install 9 pass again)
expect pass "a second install in one run takes the first one's update" \
  "apt-get calls: update update update install install "
check_command=(install 9 clash)
expect pass "update keeps failing, the install passes without the failed suite" \
  "WITHOUT bookworm-security (http://deb.debian.org/debian-security)," \
  "apt-get update && apt-get upgrade" "apt-get calls: update update update install install-without " \
  "sources: # left out: deb [arch=amd64,i386] http://deb.debian.org/debian-security/ bookworm-security main
sources: deb http://ftp.example.org/debian bookworm-backports main
sources: Suites: bookworm bookworm-updates" "other lines naming bookworm-security: 0"
check_command=(install 9 fail)
expect fail "update keeps failing, and the install fails with and without the failed suite" \
  "could not fetch:" "
  $index
" "
  ${index% bookworm*}/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size" \
  "retrying later usually helps" "apt-get calls: update update update install install-without "
check_command=(install 0 fail)
expect fail "the install fails after a passing update" "(its messages above)" \
  "apt-get calls: update install "

expect_done "OK: set-up tries a failing apt-get update again, installs anyway, then without the failed suite, and names the index"
