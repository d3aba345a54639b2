#!/usr/bin/env bash
# Checks the bill of materials in an extracted release zip: valid CycloneDX 1.6 for the CycloneDX
# library's strict validator (pinned, installed under build/ only, and shown to reject an invalid
# file, or its passing would prove nothing), naming exactly the Debian packages and versions the
# notices name, and every field BSI TR-03183-2 requires that has data, each against its own
# source: the time stamp against the commit's time; the exe's digests, as shipped and unsigned,
# against the files; the packages' maintainer and home page against dpkg; each file read from a
# package, its digests, whether it is an archive and its members against the file itself and the
# link map; the exe's dependencies against the packages the link map shows linked in; the files
# shipped beside the exe against the zip. Every component must have its dependencies' completeness
# stated, and the fields without data must be named as such. Made again with a public home, the
# bill must carry it as the creator's URL and the source and download locations, and validate.
# Usage: tests/release/sbom.sh ZIP_FOLDER UNSIGNED_SHA256 MAP   (MAP: the release build's link map)
set -euo pipefail
cd "$(dirname "$0")/../.."
export LC_ALL=C
zip=$1
unsigned_sha256=$2
map=$3
sbom=$zip/tembra-uninstall.cdx.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dir=build/cyclonedx-validator
scripts/npm_pinned.sh "$dir" @cyclonedx/cyclonedx-library@10.3.0 ajv@8 ajv-formats@3 \
  ajv-formats-draft2019@1
# An ES module finds its imports from where it lies.
cp tests/release/validate_sbom.mjs "$dir/"
jq '.components[0].licenses = [{license: {id: "NOT-A-LICENCE"}}]' "$sbom" >"$work/invalid.cdx.json"
if node "$dir/validate_sbom.mjs" "$work/invalid.cdx.json" >/dev/null; then
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

digests() { echo "$(sha256sum <"$1" | cut -d' ' -f1) $(sha512sum <"$1" | cut -d' ' -f1)"; }
commit=$(sed -n 's/^Commit: *\([0-9a-f]\{40\}\).*/\1/p' "$zip/BUILDINFO.txt")
commit_time=$(git log -1 --format=%ct "$commit")
version=$(sed -n 's/^Version: *//p' "$zip/BUILDINFO.txt")
beside=(README.md CHANGELOG.md SECURITY.md LICENSE THIRD-PARTY-NOTICES.txt BUILDINFO.txt)
linked=$(scripts/linked_packages.sh "$map")
authors="the tembra-uninstall authors"
# The facts, one a line, from their own sources.
expected=$(
  echo "time $commit_time"
  echo "creator $authors"
  echo "exe $authors tembra-uninstall $version pkg:generic/tembra-uninstall@$version MIT declared"
  echo "exe $(digests "$zip/tembra-uninstall.exe") unsigned $unsigned_sha256 commit $commit"
  echo "exe tembra-uninstall.exe executable, no archive, unstructured"
  for file in "${beside[@]}"; do echo "beside $file $(digests "$zip/$file")"; done
  echo "depends $(cut -d' ' -f1-2 <<<"$linked" | sort -u | tr '\n' ' ')"
  while read -r package package_version; do
    # shellcheck disable=SC2016  # dpkg-query's fields
    dpkg-query -W -f='${Package}\t${Version}\t${Maintainer}\t${Homepage}\t${Package}_${Version}_${Architecture}.deb\n' \
      "$package" | sed -E 's/^([^\t]*)\t([^\t]*)\t[^\t]*<([^>]*)>\t/package \1 \2 \3 /; s/\t/ /g'
    echo "licence $package $(sed -n "/^Debian package: $package /{n;s/^Licences (SPDX): //p}" \
      "$zip/THIRD-PARTY-NOTICES.txt") concluded"
    grep "^$package $package_version " <<<"$linked" | cut -d' ' -f4- | sed 's/(.*//' | sort -u |
      while read -r file; do
        archive="no archive, unstructured"
        cmp -s -n 8 "$file" <(printf '!<arch>\n') && archive="archive, structured"
        echo "file $package $(basename "$file") $(digests "$file") executable, $archive"
        echo "members $(basename "$file") $(grep -F " $file" <<<"$linked" | cut -d' ' -f4- | sort | tr '\n' ' ')"
      done
  done < <(cut -d' ' -f1-2 <<<"$linked" | sort -u)
  echo "unstated none"
) || exit 1
# The same, as the bill of materials says them.
actual=$(jq -r '
  def prop($n): [.properties[] | select(.name == $n) | .value] | join(",");
  def digests: [(.hashes[] | select(.alg == "SHA-256")), (.hashes[] | select(.alg == "SHA-512"))]
    | map(.content) | join(" ");
  def kind: [prop("bsi:component:executable", "bsi:component:archive", "bsi:component:structured")]
    | join(", ");
  . as $bom | .metadata.component as $exe
  | [$exe, (.components[] | ., .components[])] as $all
  | "time \(.metadata.timestamp | fromdateiso8601)",
    "creator \(.metadata.manufacturer.name)",
    "exe \($exe.manufacturer.name) \($exe.name) \($exe.version) \($exe.purl) \($exe.licenses[0].license.id) \($exe.licenses[0].license.acknowledgement)",
    "exe \($exe | digests) unsigned \($exe | prop("tembra-uninstall:unsigned-sha256")) commit \($exe | prop("tembra-uninstall:commit"))",
    "exe \($exe | prop("bsi:component:filename")) \($exe | kind)",
    ($exe.externalReferences[] | select(.comment == "shipped beside the exe") | "beside \(.url) \(digests)"),
    "depends \([.dependencies[] | select(.ref == $exe["bom-ref"]) | .dependsOn[] as $ref
      | $bom.components[] | select(.["bom-ref"] == $ref) | "\(.name) \(.version) "] | sort | join(""))",
    (.components[] | . as $package
      | "package \(.name) \(.version) \(.supplier.contact[0].email) \(.manufacturer.url[0]) \(prop("bsi:component:filename"))",
        "licence \(.name) \(.licenses[0].expression) \(.licenses[0].acknowledgement)",
        (.components[] | "file \($package.name) \(prop("bsi:component:filename")) \(digests) \(kind)",
          "members \(.name) \([.evidence.occurrences[].location] | sort | map(. + " ") | join(""))")),
    "unstated \([$all[] | .["bom-ref"] | select(. as $ref | [$bom.compositions[] | .dependencies[]?]
      | index($ref) | not)] | if . == [] then "none" else join(" ") end)"
' "$sbom")
if ! diff <(echo "$expected") <(echo "$actual") >"$work/facts.diff"; then
  echo "sbom: the bill of materials (>) against the facts (<):" >&2
  cat "$work/facts.diff" >&2
  exit 1
fi
echo "sbom: $(wc -l <<<"$expected") facts as their sources give them: the time stamp, the" \
  "creators, the exe's and every file's digests, the packages, the dependencies"

# without_data SBOM: what the bill names as required and without data.
without_data() {
  jq -r '.metadata.properties[] | select(.name == "tembra-uninstall:tr-03183-2:without-data")
    | .value' "$1"
}
debs=$(jq -r '.components[] | "; \(.name): SHA-512"' "$sbom" | tr -d '\n')
want="the bill of materials: creator (email or URL); tembra-uninstall: creator (email or URL)$debs"
if [[ $(without_data "$sbom") != "$want" ]]; then
  echo "sbom: without a public home, the fields without data are \"$want\"; the bill says" \
    "\"$(without_data "$sbom")\"" >&2
  exit 1
fi

home=https://example.org/tembra-uninstall
scripts/sbom.sh "$map" "$zip/THIRD-PARTY-NOTICES.txt" "$zip/tembra-uninstall.exe" \
  "$unsigned_sha256" "$version" "$commit" "$commit_time" "$home" "${beside[@]/#/$zip/}" \
  >"$work/home.cdx.json"
node "$dir/validate_sbom.mjs" "$work/home.cdx.json"
urls=$(jq -r '[.metadata.manufacturer.url[]?, .metadata.component.manufacturer.url[]?,
  (.metadata.component.externalReferences[] | select(.type == "vcs" or .type == "distribution")
    | "\(.type) \(.url)")] | join(" ")' "$work/home.cdx.json")
if [[ $urls != "$home $home vcs $home distribution $home" ||
  $(without_data "$work/home.cdx.json") != "${debs#; }" ]]; then
  echo "sbom: made with the public home $home, the bill gives as the creators' URLs and the" \
    "source and download locations: $urls, and as without data:" \
    "$(without_data "$work/home.cdx.json")" >&2
  exit 1
fi
echo "sbom: without a public home, it names the fields left empty; with one, it fills them and" \
  "stays valid"
