#!/usr/bin/env bash
# Rebuilds a release from its source archive as someone outside the repository would: the archive
# named in BUILDINFO.txt, with its SHA-256, must come out the same when made again from the
# commit, whatever the caller's git settings, and hold only entries owned by root with modes 644
# and 755; extracted into an empty folder and built there by its own scripts/release.sh, without
# .git and without network, it must give the exe byte for byte and a BUILDINFO.txt naming the
# same commit. Every file is compiled there, never taken from a compiler cache: this is the one
# build of the release tests that shows the compiler gives the same objects in another folder.
# With uncommitted changes here, the exe to match is built from the work tree, so the rebuild
# takes an archive of the work tree, made as a commit of its own that no branch holds.
# Usage: tests/release/rebuild.sh DIST BUILDINFO EXE   (DIST: the release's folder)
set -euo pipefail
cd "$(dirname "$0")/../.."
dist=$1
buildinfo=$2
exe=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

archives=("$dist"/tembra-uninstall-*-src.tar.gz)
archive=${archives[0]}
name=$(basename "$archive")
version=${name#tembra-uninstall-}
version=${version%-src.tar.gz}
commit=$(sed -n 's/^Commit: *\([0-9a-f]\{40\}\).*/\1/p' "$buildinfo")
sha256=$(sha256sum "$archive" | cut -d' ' -f1)
if ((${#archives[@]} != 1)) || ! grep -qF "$name (git archive" "$buildinfo" ||
  ! grep -qF "SHA-256 $sha256" "$buildinfo" || [[ -z $commit ]]; then
  echo "rebuild: BUILDINFO.txt names not the commit and the one source archive ${archives[*]}" \
    "with its SHA-256 $sha256:" >&2
  cat "$buildinfo" >&2
  exit 1
fi
# Made again under a caller's own git settings, which must not reach the archive.
GIT_CONFIG_COUNT=2 GIT_CONFIG_KEY_0=tar.umask GIT_CONFIG_VALUE_0=0077 \
  GIT_CONFIG_KEY_1=core.autocrlf GIT_CONFIG_VALUE_1=true \
  scripts/source_archive.sh "$version" "$work/again.tar.gz" "$commit"
if ! cmp "$archive" "$work/again.tar.gz"; then
  echo "rebuild: the source archive, made again from commit $commit with git's tar.umask 0077" \
    "and core.autocrlf true, differs" >&2
  exit 1
fi
odd=$(tar -tvzf "$archive" | awk '$1 !~ /^(-rw-r--r--|-rwxr-xr-x|drwxr-xr-x)$/ || $2 != "root/root"')
if [[ -n $odd ]]; then
  echo "rebuild: entries of the source archive with other modes than 644 and 755, or another" \
    "owner than root:"$'\n'"$odd" >&2
  exit 1
fi
echo "rebuild: the source archive $name is the same when made again from the commit under" \
  "other git settings, its entries owned by root with modes 644 and 755"

if [[ -n $(git status --porcelain) ]]; then
  tree=$(
    export GIT_INDEX_FILE=$work/index
    git read-tree HEAD && git add -A && git write-tree
  )
  commit=$(GIT_AUTHOR_NAME=rebuild GIT_AUTHOR_EMAIL=rebuild@localhost GIT_COMMITTER_NAME=rebuild \
    GIT_COMMITTER_EMAIL=rebuild@localhost git commit-tree -p HEAD -m "work tree" "$tree")
  archive=$work/tree.tar.gz
  scripts/source_archive.sh "$version" "$archive" "$commit"
  echo "rebuild: uncommitted changes here: rebuilding from the work tree as commit $commit"
fi

mkdir "$work/empty"
tar -xzf "$archive" -C "$work/empty"
source=$work/empty/tembra-uninstall-$version
offline=()
if unshare -rn true 2>/dev/null; then
  offline=(unshare -rn)
else
  echo "rebuild: cannot take the network away here (unshare -rn fails); building with it" >&2
fi
status=0
rebuilt_zip=$(TEMBRA_DIST=$work/dist "${offline[@]}" env -u CMAKE_CXX_COMPILER_LAUNCHER \
  "$source/scripts/release.sh" \
  2>"$work/release.log") || status=$?
if ((status != 0)); then
  cat "$work/release.log" >&2
  echo "rebuild: the release from the extracted source archive failed" >&2
  exit 1
fi
rebuilt=$source/build/mingw-x86-release/tembra-uninstall.exe
sha256sum "$exe" "$rebuilt"
if ! cmp "$exe" "$rebuilt" || ! unzip -p "$rebuilt_zip" BUILDINFO.txt | grep -qx "Commit:    $commit"; then
  echo "rebuild: the exe built from the source archive differs, or its BUILDINFO.txt names not" \
    "commit $commit:" >&2
  unzip -p "$rebuilt_zip" BUILDINFO.txt >&2
  exit 1
fi
echo "rebuild: from the source archive alone, in $source: the same exe, and BUILDINFO.txt names" \
  "commit $commit"
