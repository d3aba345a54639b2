#!/usr/bin/env bash
# Makes a release: builds the release exe (preset mingw-x86) from scratch in its own build folder,
# checks it, and writes dist/tembra-uninstall-<version>-win32.zip holding the exe, README.md,
# LICENSE and SHA256SUMS. The exe is reproducible and so is the zip: fixed file times (the
# commit's), modes and order, no extra fields. Progress goes to standard error; the zip's path is
# the last line, on standard output.
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck source=scripts/setup.sh
source scripts/setup.sh
_setup_packages_present >&2

build=build/mingw-x86-release
rm -rf "$build"
{
  cmake --preset mingw-x86 -B "$build"
  cmake --build "$build" -j "${JOBS:-2}" --target tembra-uninstall
  scripts/check_exe.sh "$build/tembra-uninstall.exe"
} >&2

# The version is the one project() declares, as CMake recorded it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [[ -z $version ]]; then
  echo "release: no project version in $build/CMakeCache.txt" >&2
  exit 1
fi

commit=$(git rev-parse HEAD)
echo "release: version $version, commit $commit" >&2
if [[ -n $(git status --porcelain) ]]; then
  echo "release: warning: the work tree has uncommitted changes, so this is not commit $commit" >&2
fi

files=(tembra-uninstall.exe README.md LICENSE SHA256SUMS)
stage=$build/stage
mkdir -p "$stage" dist
cp "$build/tembra-uninstall.exe" README.md LICENSE "$stage/"
(cd "$stage" && sha256sum tembra-uninstall.exe README.md LICENSE >SHA256SUMS)
chmod 644 "${files[@]/#/$stage/}"
# Zip keeps local time in its entries: take the commit's time, read as UTC.
touch -d "@$(git log -1 --format=%ct)" "${files[@]/#/$stage/}"
zip=$PWD/dist/tembra-uninstall-$version-win32.zip
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -q "$zip" "${files[@]}")
sed 's/^/release: /' "$stage/SHA256SUMS" >&2
echo "release: zip SHA-256 $(sha256sum "$zip" | cut -d' ' -f1)" >&2
echo "$zip"
