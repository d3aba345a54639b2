#!/usr/bin/env bash
# Makes a release: builds the release exe (preset mingw-x86) from scratch in its own build folder,
# checks it and its link map against THIRD-PARTY-NOTICES.txt, signs it when asked to, and writes
# dist/tembra-uninstall-<version>-win32.zip holding the exe, README.md, LICENSE,
# THIRD-PARTY-NOTICES.txt, the bill of materials tembra-uninstall.cdx.json (CycloneDX),
# BUILDINFO.txt and SHA256SUMS, and beside it the source archive of the commit,
# dist/tembra-uninstall-<version>-src.tar.gz (scripts/source_archive.sh). The unsigned exe is
# reproducible and so are an unsigned release's zip and the source archive: fixed file times (the
# commit's), modes and order, no extra fields.
# Run in a clone, or in an extracted source archive, which has no .git: its COMMIT file names the
# commit, and such a build gives the release's exe byte for byte (no source archive is written).
# Progress goes to standard error; the zip's path is the last line, on standard output.
#
# Signing, with both of these set (otherwise the release is unsigned, as standard error says):
#   TEMBRA_SIGN_PKCS12         PKCS#12 file with the code-signing certificate and its key
#   TEMBRA_SIGN_PASSWORD       its password; handed to osslsigncode through a pipe, never on a
#                              command line, and kept from every other process started here
#   TEMBRA_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server; no time stamp without it
#   TEMBRA_SIGN_CAFILE         optional: the CA certificates to verify the signature against, for
#                              a certificate the system's store does not know
# The signed exe is verified, and its signature removed from a copy that must come out byte for
# byte the unsigned build; the zip then holds the signed exe.
# TEMBRA_DIST names another folder for the zip than dist/ (a test's throwaway release, say).
# Usage: scripts/release.sh
set -euo pipefail

# Read before anything else runs, and before the cd: relative paths are the caller's.
dist=$(realpath -m -- "${TEMBRA_DIST:-$(dirname "$0")/../dist}")
signing=no
if [[ -n ${TEMBRA_SIGN_PKCS12:-} && -n ${TEMBRA_SIGN_PASSWORD+set} ]]; then
  signing=yes
  sign_pkcs12=$(realpath -- "$TEMBRA_SIGN_PKCS12")
  sign_password=$TEMBRA_SIGN_PASSWORD
  sign_timestamp_url=${TEMBRA_SIGN_TIMESTAMP_URL:-}
  sign_cafile=${TEMBRA_SIGN_CAFILE:+$(realpath -- "$TEMBRA_SIGN_CAFILE")}
elif [[ -n ${TEMBRA_SIGN_PKCS12:-}${TEMBRA_SIGN_PASSWORD+set}${TEMBRA_SIGN_TIMESTAMP_URL:-}${TEMBRA_SIGN_CAFILE:-} ]]; then
  echo "release: to sign, set both TEMBRA_SIGN_PKCS12 and TEMBRA_SIGN_PASSWORD; for an unsigned" \
    "release, none of the TEMBRA_SIGN_ variables" >&2
  exit 1
fi
unset TEMBRA_SIGN_PASSWORD
if [[ $signing == yes && ! -r $sign_pkcs12 ]]; then
  echo "release: cannot read the PKCS#12 file $sign_pkcs12" >&2
  exit 1
fi

cd "$(dirname "$0")/.."

# shellcheck source=scripts/setup.sh
source scripts/setup.sh
needs=("${_setup_release_packages[@]}")
clone=no
if [[ -e .git ]]; then
  clone=yes
  needs+=(git)
fi
[[ $signing == yes ]] && needs+=(osslsigncode)
_setup_packages_present "${needs[@]}" >&2

if [[ $clone == yes ]]; then
  commit=$(git rev-parse HEAD)
  commit_time=$(git log -1 --format=%ct)
elif [[ -f COMMIT ]]; then
  commit=$(sed -n 's/^commit //p' COMMIT)
  commit_time=$(sed -n 's/^time //p' COMMIT)
fi
if [[ ! ${commit:-} =~ ^[0-9a-f]{40}$ || ! ${commit_time:-} =~ ^[0-9]+$ ]]; then
  echo "release: neither a git clone nor an extracted source archive with its COMMIT file" \
    "(\"commit <id>\" and \"time <seconds since 1970>\")" >&2
  exit 1
fi

build=build/mingw-x86-release
rm -rf "$build"
{
  cmake --preset mingw-x86 -B "$build"
  cmake --build "$build" -j "${JOBS:-2}" --target tembra-uninstall
  scripts/check_exe.sh "$build/tembra-uninstall.exe"
  scripts/check_notices.sh "$build/tembra-uninstall.map"
} >&2

# The version is the one project() declares, as CMake recorded it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [[ -z $version ]]; then
  echo "release: no project version in $build/CMakeCache.txt" >&2
  exit 1
fi
# A release says what it changes: the newest version in the changelog must be this one, dated.
newest=$(grep -m1 '^## \[' CHANGELOG.md || true)
if ! grep -Eqx "## \[${version//./\\.}\] - [0-9]{4}-[0-9]{2}-[0-9]{2}" <<<"$newest"; then
  echo "release: CHANGELOG.md's newest version is \"${newest:-none}\", not \"## [$version] -" \
    "YYYY-MM-DD\"" >&2
  exit 1
fi

echo "release: version $version, commit $commit" >&2
commit_note=
source_archive=tembra-uninstall-$version-src.tar.gz
mkdir -p "$dist"
if [[ $clone == yes ]]; then
  scripts/source_archive.sh "$version" "$dist/$source_archive"
  source_sha256=$(sha256sum "$dist/$source_archive" | cut -d' ' -f1)
  echo "release: source archive $dist/$source_archive, SHA-256 $source_sha256" >&2
  source_note="$source_archive (git archive of the commit; its file COMMIT names it),
           SHA-256 $source_sha256"
  if [[ -n $(git status --porcelain) ]]; then
    echo "release: warning: the work tree has uncommitted changes, so this is not commit $commit;" \
      "the source archive holds the commit alone" >&2
    commit_note=" plus uncommitted changes: not a build of that commit"
    source_note+="
           It holds the commit alone, without the uncommitted changes built here."
  fi
else
  source_note="the extracted $source_archive of that commit (the release's
           BUILDINFO.txt gives its SHA-256)"
fi

stage=$build/stage
mkdir -p "$stage"
unsigned=$build/tembra-uninstall.exe
unsigned_sha256=$(sha256sum "$unsigned" | cut -d' ' -f1)

if [[ $signing == yes ]]; then
  timestamp=()
  [[ -n $sign_timestamp_url ]] && timestamp=(-ts "$sign_timestamp_url")
  cafile=()
  [[ -n $sign_cafile ]] && cafile=(-CAfile "$sign_cafile")
  echo "release: signing with the certificate in $sign_pkcs12" >&2
  # printf is built in: the password reaches the pipe without a command line of its own.
  osslsigncode sign -pkcs12 "$sign_pkcs12" -readpass <(printf '%s' "$sign_password") \
    -h sha256 -n tembra-uninstall "${timestamp[@]}" \
    -in "$unsigned" -out "$stage/tembra-uninstall.exe" >&2 || {
    echo "release: signing failed (osslsigncode's message above)" >&2
    exit 1
  }
  unset sign_password
  verified=$(osslsigncode verify "${cafile[@]}" -in "$stage/tembra-uninstall.exe" 2>&1) || {
    echo "$verified" >&2
    echo "release: the signed exe does not verify" >&2
    exit 1
  }
  echo "$verified" >&2
  # The signer's certificate is the first one the verification shows.
  signer=$(awk '/^Signer.s certificate:/ { found = 1 }
    found && /^[ \t]*(Subject|Issuer|Serial) *:/ { sub(/^[ \t]*/, ""); print; if (/^Serial/) exit }' \
    <<<"$verified")
  if [[ $signer != Subject* ]]; then
    echo "release: osslsigncode verify named no signer's certificate" >&2
    exit 1
  fi
  osslsigncode remove-signature -in "$stage/tembra-uninstall.exe" -out "$build/stripped.exe" >&2
  if ! cmp "$build/stripped.exe" "$unsigned" >&2; then
    echo "release: the signed exe without its signature is not the unsigned build" >&2
    exit 1
  fi
  echo "release: signed; without its signature the exe is the unsigned build byte for byte" >&2
  shipped="signed with Authenticode (SHA-256; program name
\"tembra-uninstall\"; time stamp: ${sign_timestamp_url:-none}).
The signer's certificate, as osslsigncode verify shows it:
  ${signer//$'\n'/$'\n'  }"
else
  echo "release: unsigned: set TEMBRA_SIGN_PKCS12 and TEMBRA_SIGN_PASSWORD to sign (README.md," \
    "\"Signing a release yourself\")" >&2
  cp "$unsigned" "$stage/tembra-uninstall.exe"
  shipped="unsigned, the exe as built (the SHA-256 above)."
fi

scripts/sbom.sh "$build/tembra-uninstall.map" THIRD-PARTY-NOTICES.txt "$stage/tembra-uninstall.exe" \
  "$unsigned_sha256" "$version" "$commit" >"$stage/tembra-uninstall.cdx.json"

compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
linker=$(sed -n 's/^CMAKE_LINKER:[A-Z]*=//p' "$build/CMakeCache.txt")
cat >"$stage/BUILDINFO.txt" <<EOF
tembra-uninstall $version: how this release was built

Commit:    $commit$commit_note
Version:   $version
Built on:  $(. /etc/os-release && echo "$PRETTY_NAME"), CMake preset mingw-x86
Compiler:  $(scripts/debian_package.sh "$compiler") ($(basename "$compiler"))
Binutils:  $(scripts/debian_package.sh "$linker") (linker and resource compiler)
Runtime libraries linked in: THIRD-PARTY-NOTICES.txt names them, with their packages' versions;
tembra-uninstall.cdx.json lists them as a CycloneDX 1.6 bill of materials.
Source:    $source_note

SHA-256 of tembra-uninstall.exe as built, unsigned:
  $unsigned_sha256

tembra-uninstall.exe in this zip: $shipped

To check a signed tembra-uninstall.exe against the source:
  1. Strip the signature and take the digest; it must be the SHA-256 above (the release was made
     only after stripping gave back the unsigned build byte for byte):
       osslsigncode remove-signature -in tembra-uninstall.exe -out stripped.exe
       sha256sum stripped.exe
  2. Rebuild it from the source archive, on Debian 12 with the package versions above and in
     THIRD-PARTY-NOTICES.txt (no .git or network needed; in a clone, git checkout of the commit
     above gives the same source):
       sha256sum $source_archive    (the source archive's SHA-256 above)
       tar -xzf $source_archive
       tembra-uninstall-$version/scripts/release.sh
       sha256sum tembra-uninstall-$version/build/mingw-x86-release/tembra-uninstall.exe
     The last digest is the unsigned exe's SHA-256 above.
  3. See who signed it: osslsigncode verify -in tembra-uninstall.exe (add -CAfile with the
     signer's CA certificate when the system's store does not know it).
EOF

files=(tembra-uninstall.exe README.md LICENSE THIRD-PARTY-NOTICES.txt tembra-uninstall.cdx.json
  BUILDINFO.txt SHA256SUMS)
cp README.md LICENSE THIRD-PARTY-NOTICES.txt "$stage/"
(cd "$stage" && sha256sum "${files[@]:0:${#files[@]}-1}" >SHA256SUMS)
chmod 644 "${files[@]/#/$stage/}"
# Zip keeps local time in its entries: take the commit's time, read as UTC.
touch -d "@$commit_time" "${files[@]/#/$stage/}"
zip=$dist/tembra-uninstall-$version-win32.zip
rm -f "$zip"
(cd "$stage" && TZ=UTC zip -X -q "$zip" "${files[@]}")
sed 's/^/release: /' "$stage/SHA256SUMS" >&2
echo "release: zip SHA-256 $(sha256sum "$zip" | cut -d' ' -f1)" >&2
echo "$zip"
