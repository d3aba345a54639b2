#!/usr/bin/env bash
# Prints the exe's bill of materials, CycloneDX 1.6 JSON: the exe as the main component (MIT, the
# SHA-256 of the exe given, which may be signed, and the unsigned build's as a property), one
# component per Debian package whose files the link map shows linked in, with the files as its
# occurrences and its licences from the package's "Licences (SPDX)" line in the notices, and the
# exe depending on each. The same input gives the same bytes: no time stamp, and a serial number
# derived from version, commit and exe. Fails on a package the notices give no licences for.
# Usage: scripts/sbom.sh MAP NOTICES EXE UNSIGNED_SHA256 VERSION COMMIT
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if (($# != 6)); then
  echo "usage: scripts/sbom.sh MAP NOTICES EXE UNSIGNED_SHA256 VERSION COMMIT" >&2
  exit 2
fi
map=$1 notices=$2 exe=$3 unsigned_sha256=$4 version=$5 commit=$6
linked=$("$root/scripts/linked_packages.sh" "$map")
exe_sha256=$(sha256sum "$exe" | cut -d' ' -f1)

# "<package> <expression>" for each package the notices name, from the line under its name.
licences=$(awk '
  /^Debian package: / { package = $3; next }
  /^Licences \(SPDX\): / && package != "" { sub(/^Licences \(SPDX\): /, ""); print package, $0 }
  { package = "" }
' "$notices")
while read -r package; do
  if ! grep -q "^$package " <<<"$licences"; then
    echo "sbom: $(basename "$notices") gives no \"Licences (SPDX):\" line under the Debian" \
      "package $package, whose files are linked in" >&2
    exit 1
  fi
done < <(cut -d' ' -f1 <<<"$linked" | sort -u)

# A name-based (version 5) UUID in the URL namespace, 6ba7b811-9dad-11d1-80b4-00c04fd430c8.
hash=$({
  printf '\x6b\xa7\xb8\x11\x9d\xad\x11\xd1\x80\xb4\x00\xc0\x4f\xd4\x30\xc8'
  printf '%s' "urn:tembra-uninstall:$version:$commit:$exe_sha256"
} | sha1sum | cut -c1-32)
variant=$(printf '%x' $((0x${hash:16:1} & 3 | 8)))
serial=${hash:0:8}-${hash:8:4}-5${hash:13:3}-$variant${hash:17:3}-${hash:20:12}
os=$(. /etc/os-release && echo "$ID-$VERSION_ID")

jq -R -n --arg version "$version" --arg commit "$commit" --arg serial "$serial" \
  --arg sha256 "$exe_sha256" --arg unsigned "$unsigned_sha256" --arg os "$os" \
  --arg licences "$licences" '
  ($licences | split("\n") | map(capture("^(?<key>[^ ]+) (?<value>.*)$")) | from_entries) as $spdx
  | [inputs | capture("^(?<name>[^ ]+) (?<version>[^ ]+) (?<arch>[^ ]+) (?<file>.*)$")]
  | group_by(.name)
  | map(.[0] + {
      purl: "pkg:deb/debian/\(.[0].name)@\(.[0].version | @uri)?arch=\(.[0].arch)&distro=\($os)",
      files: map(.file)
    })
  | {
      bomFormat: "CycloneDX",
      specVersion: "1.6",
      serialNumber: "urn:uuid:\($serial)",
      version: 1,
      metadata: {
        lifecycles: [{phase: "build"}],
        component: {
          type: "application",
          "bom-ref": "tembra-uninstall",
          name: "tembra-uninstall",
          version: $version,
          description: "Removes the Windows service tembra_service (tembra-uninstall.exe, 32-bit)",
          licenses: [{license: {id: "MIT"}}],
          hashes: [{alg: "SHA-256", content: $sha256}],
          properties: [
            {name: "tembra-uninstall:commit", value: $commit},
            {name: "tembra-uninstall:unsigned-sha256", value: $unsigned}
          ]
        }
      },
      components: map({
        type: "library",
        "bom-ref": .purl,
        name: .name,
        version: .version,
        purl: .purl,
        licenses: [{expression: $spdx[.name]}],
        evidence: {occurrences: (.files | map({location: .}))}
      }),
      dependencies: ([{ref: "tembra-uninstall", dependsOn: map(.purl)}]
        + map({ref: .purl, dependsOn: []}))
    }
' <<<"$linked"
