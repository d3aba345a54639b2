#!/usr/bin/env bash
# A release as a vendor would sign it, with a throwaway certificate made here: scripts/release.sh
# rebuilds the exe from scratch in its own folder, which must give the mingw-x86 exe byte for byte
# (anyone can rebuild a release and compare it with the published one), checks the link map
# against the notices, signs, verifies and strips. Its zip is then checked from outside: contents
# and checksums, the signature against the certificate, the stripped exe against the build, no
# trace of the password, the bill of materials against CycloneDX's schema and the notices, and the
# signed exe run under Wine as the unsigned one runs. Last, the source archive, extracted into an
# empty folder and built there without .git or network, must give the same exe.
# Usage: tests/release/run.sh   (after the mingw-x86 build: its exe is the one to match)
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/check_notices_test.sh
scripts/setup_test.sh
built=build/mingw-x86/tembra-uninstall.exe
built_sha256=$(sha256sum "$built" | cut -d' ' -f1)
work=$(mktemp -d)
# The zip is signed with a throwaway certificate: it is made in the scratch folder, not in dist/.
trap 'rm -rf "$work"' EXIT
password=$(openssl rand -hex 16)
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=tembra-uninstall test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -addext "basicConstraints=critical,CA:FALSE" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout fd:3 3< <(printf '%s' "$password")
rm "$work/key.pem"
status=0
zip=$(TEMBRA_SIGN_PKCS12=$work/cert.p12 TEMBRA_SIGN_PASSWORD=$password \
  TEMBRA_SIGN_CAFILE=$work/cert.pem TEMBRA_DIST=$work/dist scripts/release.sh \
  2>"$work/release.log") || status=$?
cat "$work/release.log"
((status == 0))

sha256sum "$built" build/mingw-x86-release/tembra-uninstall.exe
if ! cmp "$built" build/mingw-x86-release/tembra-uninstall.exe; then
  echo "reproducible: the two builds differ (offset, octal bytes):" >&2
  cmp -l "$built" build/mingw-x86-release/tembra-uninstall.exe | head -20 >&2 || true
  exit 1
fi
echo "reproducible: identical"

entries=$(zipinfo -1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
if [[ $entries != "BUILDINFO.txt LICENSE README.md SHA256SUMS THIRD-PARTY-NOTICES.txt tembra-uninstall.cdx.json tembra-uninstall.exe " ]] ||
  [[ $(cut -d' ' -f3 <(unzip -p "$zip" SHA256SUMS) | LC_ALL=C sort | tr '\n' ' ') != "${entries/SHA256SUMS /}" ]]; then
  echo "release: the zip holds $entries; SHA256SUMS lists:" >&2
  unzip -p "$zip" SHA256SUMS >&2
  exit 1
fi
unzip -q "$zip" -d "$work/zip"
(cd "$work/zip" && sha256sum -c SHA256SUMS)
if ! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/zip/tembra-uninstall.exe" \
  >"$work/verify.log" 2>&1; then
  cat "$work/verify.log" >&2
  exit 1
fi
osslsigncode remove-signature -in "$work/zip/tembra-uninstall.exe" -out "$work/stripped.exe" \
  >/dev/null
cmp "$work/stripped.exe" "$built"
echo "release: the zip's exe verifies, and without its signature is the build byte for byte"
if ! grep -q "Subject: /CN=tembra-uninstall test signing" "$work/zip/BUILDINFO.txt" ||
  ! grep -qx "  $built_sha256" "$work/zip/BUILDINFO.txt"; then
  echo "release: BUILDINFO.txt names not the signer's subject and the unsigned exe's SHA-256:" >&2
  cat "$work/zip/BUILDINFO.txt" >&2
  exit 1
fi
if grep -rlF "$password" "$work/release.log" "$work/zip" build/mingw-x86-release; then
  echo "release: the password appears in the files above" >&2
  exit 1
fi

tests/release/sbom.sh "$work/zip" "$built_sha256"
tests/wine/signed_exe.sh "$work/zip/tembra-uninstall.exe" "$built"
tests/release/rebuild.sh "$work/dist" "$work/zip/BUILDINFO.txt" "$built"
