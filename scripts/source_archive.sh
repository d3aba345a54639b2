#!/usr/bin/env bash
# Writes the source archive of a commit, by default the one checked out (HEAD alone: no
# uncommitted change and no untracked file): a tar.gz whose entries lie under tembra-uninstall-<version>/, with the commit's
# time, owner root and modes 644 or 755, plus a file COMMIT naming the commit and its time, from
# which scripts/release.sh reads them when there is no .git. The same commit gives the same bytes
# (with the same git and gzip): git archive takes everything from the commit, and gzip -n leaves
# out its own time stamp.
# Usage: scripts/source_archive.sh VERSION OUT [COMMIT]
set -euo pipefail
version=$1
out=$(realpath -m -- "$2")
commit=${3:-HEAD}
cd "$(dirname "$0")/.."
prefix=tembra-uninstall-$version/
# tar.umask and core.autocrlf pinned against the caller's git configuration.
git -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="$prefix" \
  --add-virtual-file="${prefix}COMMIT:$(git log -1 --format='commit %H%ntime %ct' "$commit")
" "$commit" | gzip -9n >"$out.part"
mv "$out.part" "$out"
