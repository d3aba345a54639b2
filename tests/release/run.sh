#!/usr/bin/env bash
# Releases as a vendor would sign them, with throwaway certificates made here, in the three ways
# scripts/release.sh signs: with a key in a PKCS#12 file, with a key on a (SoftHSM) PKCS#11
# token, and an exe signed elsewhere handed to it. Each release rebuilds the exe from scratch in
# its own folder, which must give the mingw-x86 exe byte for byte (anyone can rebuild a release and
# compare it with the published one); these three compile through the compiler cache, so what
# they prove of the compile itself is left to the rebuild from the source archive at the end,
# which compiles every file again. Each checks the link map against the notices, signs or takes the
# signed exe, verifies and strips. Each zip is then checked from outside: contents and checksums,
# the signature against its certificate, the stripped exe against the build, the signer named in
# BUILDINFO.txt, no trace of the password or PIN (nor on osslsigncode's command lines). Handed the
# exe of the first release, the third must give its zip byte for byte; two releases of the commit
# must give the same source archive. An exe signed elsewhere that does not verify, or is not this
# build signed, is refused, and so are settings that mix or leave out what a way needs. Then the
# bill of materials (tests/release/sbom.sh), the README's links inside the zip, the signed exe run
# under Wine as the unsigned one runs, and last the source archive, extracted into an empty folder
# and built there without .git or network, which must give the same exe (tests/release/rebuild.sh).
# Usage: tests/release/run.sh   (after the mingw-x86 build: its exe is the one to match)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/check_notices_test.sh
scripts/setup_test.sh
# shellcheck source=scripts/cache.sh
source scripts/cache.sh
launcher=$(cmake_launcher .)
[[ -z $launcher ]] || export CMAKE_CXX_COMPILER_LAUNCHER=$launcher
built=build/mingw-x86/tembra-uninstall.exe
built_sha256=$(sha256sum "$built" | cut -d' ' -f1)
work=$(mktemp -d)
# The certificates, their keys and the token are made in the scratch folder, and go with it.
trap 'rm -rf "$work"' EXIT

# certificate NAME SUBJECT: a self-signed code-signing certificate, $work/NAME.pem, and its key,
# $work/NAME.key (PKCS#8).
certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/$1.key" -out "$work/$1.pem" \
    -days 2 -subj "/CN=$2" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -addext "basicConstraints=critical,CA:FALSE" 2>/dev/null
}
password=$(openssl rand -hex 16)
certificate file "tembra-uninstall test signing"
openssl pkcs12 -export -inkey "$work/file.key" -in "$work/file.pem" -out "$work/file.p12" \
  -passout fd:3 3< <(printf '%s' "$password")
rm "$work/file.key"
# The token's key goes onto a SoftHSM token of its own. softhsm2-util reads PINs only from a
# terminal or its command line: this throwaway token's PINs stand on the latter for a moment.
pin=$(openssl rand -hex 8)
certificate token "tembra-uninstall test token signing"
mkdir "$work/tokens"
export SOFTHSM2_CONF=$work/softhsm2.conf
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$work/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label sign --pin "$pin" --so-pin "$(openssl rand -hex 8)" \
  >/dev/null
softhsm2-util --import "$work/token.key" --token sign --label signkey --id 01 --pin "$pin" \
  >/dev/null
rm "$work/token.key"
token_module=$(dpkg -L softhsm2 libsofthsm2 2>/dev/null | grep -m1 '/libsofthsm2\.so$')

# Every osslsigncode command line release.sh runs is kept, to be searched for the secrets.
mkdir "$work/bin"
cat >"$work/bin/osslsigncode" <<EOF
#!/bin/sh
echo "\$*" >>"$work/osslsigncode-args.log"
exec $(command -v osslsigncode) "\$@"
EOF
chmod +x "$work/bin/osslsigncode"

# release NAME: a release into $work/NAME with the caller's TEMBRA_ settings (assignments before
# the call, so that no secret stands on a command line), its log in $work/NAME.log, extracted
# into $work/NAME/zip; the zip's path in $zip.
release() {
  local status=0
  zip=$(PATH=$work/bin:$PATH TEMBRA_DIST=$work/$1 scripts/release.sh 2>"$work/$1.log") ||
    status=$?
  cat "$work/$1.log"
  if ((status != 0)); then
    echo "release: the $1 release failed" >&2
    exit 1
  fi
  unzip -q "$zip" -d "$work/$1/zip"
}

# check_signed NAME CERTIFICATE: the zip holds exactly its files, each with its line in
# SHA256SUMS; its exe verifies against the certificate and stripped is the build; BUILDINFO.txt
# names the certificate's subject and the unsigned exe's SHA-256.
check_signed() {
  local zip=$work/$1/zip entries subject
  entries=$(cd "$zip" && find . -type f -printf '%P ' | tr ' ' '\n' | LC_ALL=C sort | tr '\n' ' ')
  if [[ $entries != "BUILDINFO.txt CHANGELOG.md LICENSE README.md SECURITY.md SHA256SUMS THIRD-PARTY-NOTICES.txt tembra-uninstall.cdx.json tembra-uninstall.exe " ]] ||
    [[ $(cut -d' ' -f3 "$zip/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ') != "${entries/SHA256SUMS /}" ]]; then
    echo "release: the $1 zip holds $entries; SHA256SUMS lists:" >&2
    cat "$zip/SHA256SUMS" >&2
    exit 1
  fi
  (cd "$zip" && sha256sum -c --quiet SHA256SUMS)
  if ! osslsigncode verify -CAfile "$work/$2.pem" -in "$zip/tembra-uninstall.exe" \
    >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    exit 1
  fi
  rm -f "$work/stripped.exe"
  osslsigncode remove-signature -in "$zip/tembra-uninstall.exe" -out "$work/stripped.exe" \
    >/dev/null
  cmp "$work/stripped.exe" "$built"
  subject=$(openssl x509 -noout -subject -nameopt compat -in "$work/$2.pem")
  if ! grep -qx "  Subject: ${subject#subject=}" "$zip/BUILDINFO.txt" ||
    ! grep -qx "  $built_sha256" "$zip/BUILDINFO.txt"; then
    echo "release: the $1 BUILDINFO.txt names not the signer's subject ${subject#subject=} and" \
      "the unsigned exe's SHA-256:" >&2
    cat "$zip/BUILDINFO.txt" >&2
    exit 1
  fi
  echo "release: the $1 zip's exe verifies against its certificate, and without its signature" \
    "is the build byte for byte"
}

TEMBRA_SIGN_PKCS12=$work/file.p12 TEMBRA_SIGN_PASSWORD=$password \
  TEMBRA_SIGN_CAFILE=$work/file.pem release pkcs12
sha256sum "$built" build/mingw-x86-release/tembra-uninstall.exe
if ! cmp "$built" build/mingw-x86-release/tembra-uninstall.exe; then
  echo "reproducible: the two builds differ (offset, octal bytes):" >&2
  cmp -l "$built" build/mingw-x86-release/tembra-uninstall.exe | head -20 >&2 || true
  exit 1
fi
echo "reproducible: identical"
check_signed pkcs12 file

TEMBRA_SIGN_PKCS11_MODULE=$token_module TEMBRA_SIGN_PKCS11_KEY="pkcs11:token=sign;object=signkey;type=private" \
  TEMBRA_SIGN_CERTS=$work/token.pem TEMBRA_SIGN_PIN=$pin TEMBRA_SIGN_CAFILE=$work/token.pem \
  release pkcs11
check_signed pkcs11 token
archives=("$work"/pkcs1[12]/tembra-uninstall-*-src.tar.gz)
if ((${#archives[@]} != 2)) || ! cmp "${archives[@]}"; then
  echo "release: two releases of one commit give different source archives: ${archives[*]}" >&2
  exit 1
fi
echo "release: two releases of one commit give the same source archive"
if grep -rlF -e "$password" -e "$pin" "$work"/*.log "$work"/*/zip build/mingw-x86-release; then
  echo "release: the password or the PIN appears in the files above (osslsigncode-args.log:" \
    "its command lines)" >&2
  exit 1
fi
echo "release: neither the password nor the PIN appears in a log, a zip's file, the build" \
  "folder or an osslsigncode command line"

TEMBRA_SIGNED_EXE=$work/pkcs12/zip/tembra-uninstall.exe TEMBRA_SIGN_CAFILE=$work/file.pem \
  release given
if ! cmp "$work/pkcs12/"*.zip "$work/given/"*.zip; then
  echo "release: handed the exe of the PKCS#12 release, release.sh makes another zip; entries" \
    "(size, time, name) of both:" >&2
  zipinfo -T "$work/pkcs12/"*.zip >&2
  zipinfo -T "$work/given/"*.zip >&2
  exit 1
fi
echo "release: handed the exe of the PKCS#12 release, release.sh makes its zip byte for byte"

# Refused: an exe signed elsewhere that is not this build (found after the build), one whose
# signature does not verify, and settings no way can sign with (both found before the build).
osslsigncode sign -pkcs12 "$work/file.p12" -readpass <(printf '%s' "$password") -h sha256 \
  -in build/mingw-x86/sample-service.exe -out "$work/other.exe" >/dev/null
# shellcheck source=scripts/expect.sh
source scripts/expect.sh
refused() {
  check_command=(env "$@" TEMBRA_DIST="$work/refused" scripts/release.sh)
}
refused TEMBRA_SIGNED_EXE="$work/other.exe" TEMBRA_SIGN_CAFILE="$work/file.pem"
expect fail "another exe, signed" "the signed exe without its signature is not the unsigned build"
refused TEMBRA_SIGNED_EXE="$work/pkcs11/zip/tembra-uninstall.exe" TEMBRA_SIGN_CAFILE="$work/file.pem"
expect fail "a signature the CA file does not vouch for" "does not verify"
refused TEMBRA_SIGNED_EXE="$work/other.exe" TEMBRA_SIGN_PKCS12="$work/file.p12" TEMBRA_SIGN_PASSWORD=x
expect fail "two ways at once" "more than one way to sign"
refused TEMBRA_SIGN_PKCS11_MODULE="$token_module" TEMBRA_SIGN_CERTS="$work/token.pem" TEMBRA_SIGN_PIN=x
expect fail "a token without the key's URI" "set TEMBRA_SIGN_PKCS11_MODULE"
refused TEMBRA_SIGN_PKCS11_MODULE="$token_module" TEMBRA_SIGN_CERTS="$work/token.pem" TEMBRA_SIGN_PIN=x \
  TEMBRA_SIGN_PKCS11_KEY="pkcs11:token=sign;object=signkey;pin-value=x"
expect fail "the PIN inside the key's URI" "holds the PIN (pin-value=)"
refused TEMBRA_SIGNED_EXE="$work/other.exe" TEMBRA_SIGN_TIMESTAMP_URL=http://timestamp.invalid
expect fail "a time-stamp server for an exe signed elsewhere" "time-stamp it where it is signed"
expect_done "6 refusals, each with its reason"

tests/release/sbom.sh "$work/pkcs12/zip" "$built_sha256" build/mingw-x86-release/tembra-uninstall.map

# The zip's own links: every relative link of its Markdown files names a file in the zip.
broken=$(cd "$work/pkcs12/zip" && for page in *.md; do
  { grep -oE '\]\([^)#]+[)#]|^\[[^]]+\]: *[^ ]+' "$page" || true; } |
    sed -E 's/^\[[^]]+\]: *//; s/^\]\(//; s/[)#]$//; s/#.*$//; /^$/d; /^[a-z][a-z0-9+.-]*:/d' |
    while read -r target; do
      [[ -f $(dirname "$page")/$target ]] || echo "$page: $target"
    done
done)
if [[ -n $broken ]]; then
  echo "release: links inside the zip that name no file in it:"$'\n'"$broken" >&2
  exit 1
fi
echo "release: every relative link of the zip's Markdown files names a file in the zip"

tests/wine/signed_exe.sh "$work/pkcs11/zip/tembra-uninstall.exe" "$built"
tests/release/rebuild.sh "$work/pkcs12" "$work/pkcs12/zip/BUILDINFO.txt" "$built"
