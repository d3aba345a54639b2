#!/usr/bin/env bash
# Makes a release: builds the release exe (preset mingw-x86) from scratch in its own build folder,
# checks it and its link map against THIRD-PARTY-NOTICES.txt, signs it when asked to, and writes
# dist/tembra-uninstall-<version>-win32.zip holding the exe, README.md with the files it links
# (CHANGELOG.md, SECURITY.md), LICENSE, THIRD-PARTY-NOTICES.txt, BUILDINFO.txt, the bill of
# materials tembra-uninstall.cdx.json (CycloneDX 1.6, scripts/sbom.sh) and SHA256SUMS, and beside
# it the source archive of the commit, dist/tembra-uninstall-<version>-src.tar.gz
# (scripts/source_archive.sh). The unsigned exe is reproducible, and so are the source archive and
# the zip of a given exe (unsigned, or the same signed exe): fixed file times (the commit's),
# modes and order, no extra fields.
# Run in a clone, or in an extracted source archive, which has no .git: its COMMIT file names the
# commit, and such a build gives the release's exe byte for byte (no source archive is written).
# Progress goes to standard error; the zip's path is the last line, on standard output.
#
# Signing, in one of three ways; with none of the TEMBRA_SIGN_ variables and no TEMBRA_SIGNED_EXE
# the release is unsigned, as standard error says, and with those of two ways, or only some of
# one way's, it stops:
# - a key in a PKCS#12 file:
#     TEMBRA_SIGN_PKCS12         the file, holding the code-signing certificate and its key
#     TEMBRA_SIGN_PASSWORD       its password
# - a key on a PKCS#11 token (a hardware token, an HSM, SoftHSM), through OpenSSL's pkcs11 engine
#   (Debian's libengine-pkcs11-openssl):
#     TEMBRA_SIGN_PKCS11_MODULE  the token's PKCS#11 module (a .so)
#     TEMBRA_SIGN_PKCS11_KEY     the key's PKCS#11 URI, e.g. pkcs11:token=sign;object=key;type=private
#                                (without the PIN: pin-value= is refused)
#     TEMBRA_SIGN_CERTS          the signer's certificate and the chain up to its CA (PEM)
#     TEMBRA_SIGN_PIN            the token's PIN
#   Both take TEMBRA_SIGN_TIMESTAMP_URL, an RFC 3161 time-stamp server (no time stamp without it).
#   The password or PIN reaches osslsigncode through a pipe, never on a command line, and is kept
#   from every other process started here.
# - signed elsewhere, with any tool and any key store:
#     TEMBRA_SIGNED_EXE          that exe, signed from this commit's unsigned build (the exe of an
#                                unsigned release, or build/mingw-x86-release/tembra-uninstall.exe)
# All three take TEMBRA_SIGN_CAFILE, the CA certificates to verify the signature against, for a
# certificate the system's store does not know. The signed exe must verify, and its signature
# removed from a copy must give the unsigned build byte for byte; the zip, SHA256SUMS, the bill
# of materials and BUILDINFO.txt then describe the signed exe, and do not say which way it was
# signed: the same signed exe gives the same zip.
# TEMBRA_DIST names another folder for the zip than dist/ (a test's throwaway release, say).
# Usage: scripts/release.sh
set -euo pipefail

fail() {
  echo "release: $*" >&2
  exit 1
}

# Read before anything else runs, and before the cd: relative paths are the caller's.
dist=$(realpath -m -- "${TEMBRA_DIST:-$(dirname "$0")/../dist}")
pkcs12_given=${TEMBRA_SIGN_PKCS12:-}${TEMBRA_SIGN_PASSWORD+set}
pkcs11_given=${TEMBRA_SIGN_PKCS11_MODULE:-}${TEMBRA_SIGN_PKCS11_KEY:-}${TEMBRA_SIGN_CERTS:-}${TEMBRA_SIGN_PIN+set}
signing=none
readable=()
if [[ -n $pkcs12_given && -z $pkcs11_given && -z ${TEMBRA_SIGNED_EXE:-} ]]; then
  [[ -n ${TEMBRA_SIGN_PKCS12:-} && -n ${TEMBRA_SIGN_PASSWORD+set} ]] ||
    fail "to sign with a PKCS#12 file, set both TEMBRA_SIGN_PKCS12 and TEMBRA_SIGN_PASSWORD"
  signing=pkcs12
  readable=("$(realpath -- "$TEMBRA_SIGN_PKCS12")")
  sign_key=(-pkcs12 "${readable[0]}")
  sign_secret=$TEMBRA_SIGN_PASSWORD
elif [[ -n $pkcs11_given && -z $pkcs12_given && -z ${TEMBRA_SIGNED_EXE:-} ]]; then
  [[ -n ${TEMBRA_SIGN_PKCS11_MODULE:-} && -n ${TEMBRA_SIGN_PKCS11_KEY:-} &&
    -n ${TEMBRA_SIGN_CERTS:-} && -n ${TEMBRA_SIGN_PIN+set} ]] ||
    fail "to sign with a key on a PKCS#11 token, set TEMBRA_SIGN_PKCS11_MODULE," \
      "TEMBRA_SIGN_PKCS11_KEY, TEMBRA_SIGN_CERTS and TEMBRA_SIGN_PIN"
  [[ ${TEMBRA_SIGN_PKCS11_KEY,,} != *pin-value=* ]] ||
    fail "TEMBRA_SIGN_PKCS11_KEY holds the PIN (pin-value=), which would stand on a command" \
      "line: give the URI without it, and the PIN in TEMBRA_SIGN_PIN"
  signing=pkcs11
  readable=("$(realpath -- "$TEMBRA_SIGN_PKCS11_MODULE")" "$(realpath -- "$TEMBRA_SIGN_CERTS")")
  sign_key=(-pkcs11module "${readable[0]}" -certs "${readable[1]}" -key "$TEMBRA_SIGN_PKCS11_KEY")
  sign_secret=$TEMBRA_SIGN_PIN
elif [[ -n ${TEMBRA_SIGNED_EXE:-} && -z $pkcs12_given$pkcs11_given ]]; then
  [[ -z ${TEMBRA_SIGN_TIMESTAMP_URL:-} ]] ||
    fail "TEMBRA_SIGN_TIMESTAMP_URL does not apply to an exe signed elsewhere: time-stamp it" \
      "where it is signed"
  signing=given
  readable=("$(realpath -- "$TEMBRA_SIGNED_EXE")")
elif [[ -n $pkcs12_given$pkcs11_given${TEMBRA_SIGNED_EXE:-} ]]; then
  fail "the TEMBRA_SIGN_ variables of more than one way to sign are set (a PKCS#12 file," \
    "a PKCS#11 token, TEMBRA_SIGNED_EXE): set those of one"
elif [[ -n ${TEMBRA_SIGN_TIMESTAMP_URL:-}${TEMBRA_SIGN_CAFILE:-} ]]; then
  fail "TEMBRA_SIGN_TIMESTAMP_URL and TEMBRA_SIGN_CAFILE take one of the ways to sign; for an" \
    "unsigned release, set none of the TEMBRA_SIGN_ variables"
fi
unset TEMBRA_SIGN_PASSWORD TEMBRA_SIGN_PIN
sign_timestamp_url=${TEMBRA_SIGN_TIMESTAMP_URL:-}
sign_cafile=${TEMBRA_SIGN_CAFILE:+$(realpath -- "$TEMBRA_SIGN_CAFILE")}
for file in "${readable[@]}" ${sign_cafile:+"$sign_cafile"}; do
  [[ -r $file ]] || fail "cannot read $file"
done

cd "$(dirname "$0")/.."

# shellcheck source=scripts/setup.sh
source scripts/setup.sh
needs=("${_setup_release_packages[@]}")
clone=no
if [[ -e .git ]]; then
  clone=yes
  needs+=(git)
fi
[[ $signing != none ]] && needs+=(osslsigncode)
[[ $signing == pkcs11 ]] && needs+=(libengine-pkcs11-openssl)
_setup_packages_present "${needs[@]}" >&2
if [[ $signing == pkcs11 ]]; then
  engine=$(dpkg -L libengine-pkcs11-openssl | grep -m1 '/engines-3/pkcs11\.so$') ||
    fail "libengine-pkcs11-openssl installs no engines-3/pkcs11.so"
  sign_key=(-pkcs11engine "$engine" "${sign_key[@]}")
fi

# check_signature EXE: the signature verifies; sets $signer (the signer's certificate) and
# $stamp (the time stamp, empty for none), as osslsigncode verify shows them.
check_signature() {
  local cafile=() verified
  [[ -n $sign_cafile ]] && cafile=(-CAfile "$sign_cafile")
  verified=$(osslsigncode verify "${cafile[@]}" -in "$1" 2>&1) || {
    echo "$verified" >&2
    fail "the signed exe $1 does not verify"
  }
  echo "$verified" >&2
  # The signer's certificate is the first one the verification shows.
  signer=$(awk '/^Signer.s certificate:/ { found = 1 }
    found && /^[ \t]*(Subject|Issuer|Serial) *:/ { sub(/^[ \t]*/, ""); print; if (/^Serial/) exit }' \
    <<<"$verified")
  [[ $signer == Subject* ]] || fail "osslsigncode verify named no signer's certificate"
  stamp=$(sed -n 's/^[ \t]*Timestamp time: *//p' <<<"$verified" | head -1)
}

# An exe signed elsewhere is checked before the build, and kept: it may lie in the build folder.
if [[ $signing == given ]]; then
  check_signature "${readable[0]}"
  given=$(mktemp)
  trap 'rm -f "$given"' EXIT
  cp "${readable[0]}" "$given"
fi

if [[ $clone == yes ]]; then
  commit=$(git rev-parse HEAD)
  commit_time=$(git log -1 --format=%ct)
elif [[ -f COMMIT ]]; then
  commit=$(sed -n 's/^commit //p' COMMIT)
  commit_time=$(sed -n 's/^time //p' COMMIT)
fi
[[ ${commit:-} =~ ^[0-9a-f]{40}$ && ${commit_time:-} =~ ^[0-9]+$ ]] ||
  fail "neither a git clone nor an extracted source archive with its COMMIT file" \
    "(\"commit <id>\" and \"time <seconds since 1970>\")"

build=build/mingw-x86-release
rm -rf "$build"
{
  cmake --preset mingw-x86 -B "$build"
  cmake --build "$build" -j "${JOBS:-2}" --target tembra-uninstall
  scripts/check_exe.sh "$build/tembra-uninstall.exe"
  scripts/check_notices.sh "$build/tembra-uninstall.map"
} >&2

# The version, and the project's public home (empty until it has one), as project() declares
# them and CMake recorded them.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
home=$(sed -n 's/^CMAKE_PROJECT_HOMEPAGE_URL:STATIC=//p' "$build/CMakeCache.txt")
[[ -n $version ]] || fail "no project version in $build/CMakeCache.txt"
# A release says what it changes: the newest version in the changelog must be this one, dated.
newest=$(grep -m1 '^## \[' CHANGELOG.md || true)
grep -Eqx "## \[${version//./\\.}\] - [0-9]{4}-[0-9]{2}-[0-9]{2}" <<<"$newest" ||
  fail "CHANGELOG.md's newest version is \"${newest:-none}\", not \"## [$version] - YYYY-MM-DD\""

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

case $signing in
  pkcs12 | pkcs11)
    timestamp=()
    [[ -n $sign_timestamp_url ]] && timestamp=(-ts "$sign_timestamp_url")
    echo "release: signing with ${sign_key[*]}" >&2
    # printf is built in: the password or PIN reaches the pipe without a command line of its own.
    osslsigncode sign "${sign_key[@]}" -readpass <(printf '%s' "$sign_secret") \
      -h sha256 -n tembra-uninstall "${timestamp[@]}" \
      -in "$unsigned" -out "$stage/tembra-uninstall.exe" >&2 ||
      fail "signing failed (osslsigncode's message above)"
    unset sign_secret
    check_signature "$stage/tembra-uninstall.exe"
    ;;
  given)
    echo "release: the exe signed elsewhere, ${readable[0]}" >&2
    cp "$given" "$stage/tembra-uninstall.exe"
    ;;
  none)
    echo "release: unsigned: README.md, \"Signing a release yourself\", says how to sign" >&2
    cp "$unsigned" "$stage/tembra-uninstall.exe"
    ;;
esac
if [[ $signing == none ]]; then
  shipped="unsigned, the exe as built (the SHA-256 above)."
else
  osslsigncode remove-signature -in "$stage/tembra-uninstall.exe" -out "$build/stripped.exe" >&2
  cmp "$build/stripped.exe" "$unsigned" >&2 ||
    fail "the signed exe without its signature is not the unsigned build"
  echo "release: signed; without its signature the exe is the unsigned build byte for byte" >&2
  shipped="signed with Authenticode (time stamp: ${stamp:-none}).
The signer's certificate, as osslsigncode verify shows it:
  ${signer//$'\n'/$'\n'  }"
fi

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
tembra-uninstall.cdx.json lists them as a CycloneDX 1.6 bill of materials, whose metadata
property tembra-uninstall:tr-03183-2:without-data names the fields BSI TR-03183-2 requires
that have no data yet.
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

# The zip's files in its order: the exe, those the bill of materials covers, the bill,
# SHA256SUMS (which covers every other).
covered=(README.md CHANGELOG.md SECURITY.md LICENSE THIRD-PARTY-NOTICES.txt BUILDINFO.txt)
files=(tembra-uninstall.exe "${covered[@]}" tembra-uninstall.cdx.json SHA256SUMS)
cp README.md CHANGELOG.md SECURITY.md LICENSE THIRD-PARTY-NOTICES.txt "$stage/"
scripts/sbom.sh "$build/tembra-uninstall.map" THIRD-PARTY-NOTICES.txt "$stage/tembra-uninstall.exe" \
  "$unsigned_sha256" "$version" "$commit" "$commit_time" "$home" "${covered[@]/#/$stage/}" \
  >"$stage/tembra-uninstall.cdx.json"
without_data=$(jq -r '.metadata.properties[]
  | select(.name == "tembra-uninstall:tr-03183-2:without-data") | .value' \
  "$stage/tembra-uninstall.cdx.json")
echo "release: fields BSI TR-03183-2 requires that have no data yet (the public home is" \
  "project()'s HOMEPAGE_URL, ${home:-empty}):"$'\n'"  ${without_data//; /$'\n'  }" >&2
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
