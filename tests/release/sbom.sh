#!/usr/bin/env bash
# Checks the bill of materials in an extracted release zip: valid CycloneDX 1.6 for the CycloneDX
# library's strict validator (pinned, installed under build/ only, and shown to reject an invalid
# file, or its passing would prove nothing), naming exactly the Debian packages and versions the
# notices name, and the exe's SHA-256 as shipped with the unsigned build's as a property.
# Usage: tests/release/sbom.sh ZIP_FOLDER UNSIGNED_SHA256
set -euo pipefail
cd "$(dirname "$0")/../.."
zip=$1
unsigned_sha256=$2
sbom=$zip/tembra-uninstall.cdx.json

dir=build/cyclonedx-validator
scripts/npm_pinned.sh "$dir" @cyclonedx/cyclonedx-library@10.3.0 ajv@8 ajv-formats@3 \
  ajv-formats-draft2019@1
# An ES module finds its imports from where it lies.
cp tests/release/validate_sbom.mjs "$dir/"
jq '.components[0].licenses = [{license: {id: "NOT-A-LICENCE"}}]' "$sbom" >"$dir/invalid.cdx.json"
if node "$dir/validate_sbom.mjs" "$dir/invalid.cdx.json" >/dev/null; then
  echo "sbom: the validator accepts an unknown licence id" >&2
  exit 1
fi
node "$dir/validate_sbom.mjs" "$sbom"
echo "sbom: valid CycloneDX 1.6"

named=$(sed -n 's/^Debian package: \([^ ]*\) \([^ ]*\).*/\1 \2/p' "$zip/THIRD-PARTY-NOTICES.txt" | sort -u)
listed=$(jq -r '.components[] | "\(.name) \(.version)"' "$sbom" | sort)
if [[ $listed != "$named" ]]; then
  echo "sbom: the bill of materials lists: $(tr '\n' ' ' <<<"$listed"); the notices name:" \
    "$(tr '\n' ' ' <<<"$named")" >&2
  exit 1
fi
facts=$(jq -r '.metadata.component | [(.hashes[] | select(.alg == "SHA-256") | .content),
  (.properties[] | select(.name == "tembra-uninstall:unsigned-sha256") | .value)] | join(" ")' "$sbom")
want="$(sha256sum "$zip/tembra-uninstall.exe" | cut -d' ' -f1) $unsigned_sha256"
if [[ $facts != "$want" ]]; then
  echo "sbom: the exe's SHA-256 as shipped and unsigned are $want; the bill of materials says $facts" >&2
  exit 1
fi
echo "sbom: names the packages the notices name ($(tr '\n' ' ' <<<"$named")), and the exe's digests"
