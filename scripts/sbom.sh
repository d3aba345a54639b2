#!/usr/bin/env bash
# Prints the exe's bill of materials, CycloneDX 1.6 JSON, with the fields BSI TR-03183-2 v2.1.0
# asks for wherever there is data for them:
# - the bill's creator (the tembra-uninstall authors) and time stamp (the commit's time, so that
#   the same input gives the same bytes; the serial number too is derived from the input);
# - the exe as the main component: its creator, MIT as declared licence, the SHA-256 and SHA-512
#   of the exe given (which may be signed; the unsigned build's SHA-256 as a property), a generic
#   package URL, and the files shipped beside it (FILE...), each with its digests;
# - one component per Debian package whose files the link map shows linked in: its maintainer
#   (supplier) and upstream home page (creator) as dpkg knows them, its licences as concluded in
#   the notices' "Licences (SPDX)" line, and as its parts one component per file the linker read
#   from it, with that file's digests and the members taken from it as occurrences;
# - the exe depending on each package, and the completeness of what is said: complete for the
#   parts linked in (the exe also calls Windows' own DLLs, which are not listed), unknown for the
#   packages' own dependencies;
# - per component the properties bsi:component:filename, executable, archive and structured.
# HOME is the project's public home, where its source and releases are published: the URL of the
# creator and of the source and download locations. Empty, those fields stay empty. The property
# tembra-uninstall:tr-03183-2:without-data of the bill's metadata names every required field
# that has no data ("none" when there is none).
# Fails on a package the notices give no licences for.
# Usage: scripts/sbom.sh MAP NOTICES EXE UNSIGNED_SHA256 VERSION COMMIT COMMIT_TIME HOME [FILE...]
#   COMMIT_TIME: seconds since 1970
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if (($# < 8)); then
  echo "usage: scripts/sbom.sh MAP NOTICES EXE UNSIGNED_SHA256 VERSION COMMIT COMMIT_TIME HOME" \
    "[FILE...]" >&2
  exit 2
fi
map=$1 notices=$2 exe=$3 unsigned_sha256=$4 version=$5 commit=$6 commit_time=$7 home=$8
shift 8
linked=$("$root/scripts/linked_packages.sh" "$map")
packages=$(cut -d' ' -f1 <<<"$linked" | sort -u)

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
done <<<"$packages"

# "<name> <SHA-256> <SHA-512>" of a file.
digests() {
  echo "$2 $(sha256sum <"$1" | cut -d' ' -f1) $(sha512sum <"$1" | cut -d' ' -f1)"
}
exe_digests=$(digests "$exe" "$(basename "$exe")")
# The files read from the packages, by path, and the files shipped beside the exe, by name.
read_digests=$(sed 's/^[^ ]* [^ ]* [^ ]* //; s/(.*//' <<<"$linked" | sort -u |
  while read -r file; do digests "$file" "$file"; done)
beside_digests=$(for file in "$@"; do digests "$file" "$(basename "$file")"; done)
# "<package>\t<maintainer>\t<home page>" as dpkg knows them.
# shellcheck disable=SC2016  # dpkg-query's fields
owners=$(xargs dpkg-query -W -f='${Package}\t${Maintainer}\t${Homepage}\n' <<<"$packages")

# A name-based (version 5) UUID in the URL namespace, 6ba7b811-9dad-11d1-80b4-00c04fd430c8.
hash=$({
  printf '\x6b\xa7\xb8\x11\x9d\xad\x11\xd1\x80\xb4\x00\xc0\x4f\xd4\x30\xc8'
  printf '%s' "urn:tembra-uninstall:$version:$commit:${exe_digests#* }:$home"
} | sha1sum | cut -c1-32)
variant=$(printf '%x' $((0x${hash:16:1} & 3 | 8)))
serial=${hash:0:8}-${hash:8:4}-5${hash:13:3}-$variant${hash:17:3}-${hash:20:12}
os=$(. /etc/os-release && echo "$ID-$VERSION_ID")

jq -R -n --arg version "$version" --arg commit "$commit" --arg serial "$serial" \
  --arg unsigned "$unsigned_sha256" --arg os "$os" --arg home "$home" \
  --arg time "$(date -u -d "@$commit_time" +%Y-%m-%dT%H:%M:%SZ)" --arg licences "$licences" \
  --arg exe "$exe_digests" --arg read "$read_digests" --arg beside "$beside_digests" \
  --arg owners "$owners" '
  def lines: split("\n") | map(select(. != ""));
  def table($text): $text | lines | map(split(" ") | {key: .[0], value: .[1:]}) | from_entries;
  def hashes($digests): [{alg: "SHA-256", content: $digests[0]}, {alg: "SHA-512", content: $digests[1]}];
  def bsi($file; $executable; $archive; $structured): [
    {name: "bsi:component:filename", value: $file},
    {name: "bsi:component:executable", value: $executable},
    {name: "bsi:component:archive", value: $archive},
    {name: "bsi:component:structured", value: $structured}
  ];
  def urls: if $home == "" then {} else {url: [$home]} end;
  def creator: [.manufacturer.url[]?, .manufacturer.contact[]?.email] | length > 0;
  # The required fields a component lacks, as "<component>: <field>"; $stated: the components
  # whose dependencies a composition states the completeness of.
  def missing($stated): . as $c | [
    (select(creator | not) | "creator (email or URL)"),
    (select((.version // "") == "") | "version"),
    (select(all(.licenses[]?; (.acknowledgement // .license.acknowledgement) == null)) | "licence"),
    (select(all(.hashes[]?; .alg != "SHA-512")) | "SHA-512"),
    (select($stated | index($c["bom-ref"]) | not) | "completeness of its dependencies"),
    ("filename", "executable", "archive", "structured" | . as $p
      | select(all($c.properties[]?; .name != "bsi:component:\($p)")) | "\($p) property")
  ] | map("\($c.name): \(.)");
  ($licences | lines | map(capture("^(?<key>[^ ]+) (?<value>.*)$")) | from_entries) as $spdx
  | ($exe | split(" ")) as $exe
  | table($read) as $read
  | ($owners | lines | map(split("\t")
      | {key: .[0], value: ((.[1] | capture("^(?<name>.*[^ ]) *<(?<email>[^>]+)>$")) + {home: .[2]})})
      | from_entries) as $owners
  | ($beside | lines | map(split(" "))) as $beside
  | {
      "README.md": "documentation",
      "LICENSE": "license",
      "THIRD-PARTY-NOTICES.txt": "license",
      "CHANGELOG.md": "release-notes",
      "SECURITY.md": "security-contact"
    } as $kinds
  | ({name: "the tembra-uninstall authors"} + urls) as $authors
  | [inputs | capture("^(?<name>[^ ]+) (?<version>[^ ]+) (?<arch>[^ ]+) (?<file>[^(]+)(\\((?<member>.*)\\))?$")]
  | group_by(.name)
  | map(.[0].name as $name | $owners[$name] as $owner | {
      purl: "pkg:deb/debian/\($name)@\(.[0].version | @uri)?arch=\(.[0].arch)&distro=\($os)",
      name: $name,
      version: .[0].version,
      deb: "\($name)_\(.[0].version | sub("^[0-9]+:"; ""))_\(.[0].arch).deb",
      supplier: {name: "Debian", contact: [{name: $owner.name, email: $owner.email}]},
      manufacturer: (if $owner.home == "" then {} else {url: [$owner.home]} end),
      licenses: [{expression: $spdx[$name], acknowledgement: "concluded"}],
      files: group_by(.file)
    })
  | {
      bomFormat: "CycloneDX",
      specVersion: "1.6",
      serialNumber: "urn:uuid:\($serial)",
      version: 1,
      metadata: {
        timestamp: $time,
        lifecycles: [{phase: "build"}],
        manufacturer: $authors,
        component: {
          type: "application",
          "bom-ref": "tembra-uninstall",
          manufacturer: $authors,
          name: "tembra-uninstall",
          version: $version,
          description: "Removes the Windows service tembra_service (tembra-uninstall.exe, 32-bit)",
          licenses: [{license: {id: "MIT", acknowledgement: "declared"}}],
          purl: "pkg:generic/tembra-uninstall@\($version | @uri)",
          hashes: hashes($exe[1:]),
          externalReferences: ($beside | map({
              type: ($kinds[.[0]] // "other"),
              url: .[0],
              comment: "shipped beside the exe",
              hashes: hashes(.[1:])
            })
            + if $home == "" then [] else [{type: "vcs", url: $home}, {type: "distribution", url: $home}] end),
          properties: ([
            {name: "tembra-uninstall:commit", value: $commit},
            {name: "tembra-uninstall:unsigned-sha256", value: $unsigned}
          ] + bsi($exe[0]; "executable"; "no archive"; "unstructured"))
        }
      },
      components: map(. as $package | {
        type: "library",
        "bom-ref": .purl,
        supplier: .supplier,
        manufacturer: .manufacturer,
        name: .name,
        version: .version,
        purl: .purl,
        licenses: .licenses,
        properties: bsi(.deb; "non-executable"; "archive"; "structured"),
        components: (.files | map(.[0].file as $file | ($file | split("/") | last) as $base
          | (map(.member) | all(. != null)) as $archive | {
            type: "file",
            "bom-ref": "\($package.purl)#\($file | ltrimstr("/"))",
            supplier: $package.supplier,
            manufacturer: $package.manufacturer,
            name: $base,
            version: $package.version,
            licenses: $package.licenses,
            hashes: hashes($read[$file]),
            properties: bsi($base; "executable";
              if $archive then "archive" else "no archive" end;
              if $archive then "structured" else "unstructured" end),
            evidence: {occurrences: map({location: (.file + if .member then "(\(.member))" else "" end)})}
          }))
      }),
      dependencies: [{ref: "tembra-uninstall", dependsOn: map(.purl)}]
    }
  | [.components[] | ., .components[] | .["bom-ref"]] as $parts
  | .compositions = [
      {aggregate: "incomplete_third_party_proprietary_only", dependencies: ["tembra-uninstall"]},
      {aggregate: "complete", assemblies: [.components[]["bom-ref"]]},
      {aggregate: "unknown", dependencies: $parts}
    ]
  | [.compositions[].dependencies[]?] as $stated
  | ([.metadata | select(creator | not) | "the bill of materials: creator (email or URL)"]
      + [.metadata.component, (.components[] | ., .components[]) | missing($stated)[]]) as $missing
  | .metadata.properties = [{
      name: "tembra-uninstall:tr-03183-2:without-data",
      value: (if $missing == [] then "none" else $missing | join("; ") end)
    }]
' <<<"$linked"
