#!/usr/bin/env bash
# Everything CI checks, in order: machine set-up, the builds, the unit tests, static checks,
# and the end-to-end, smoke and installer tests of the real program under Wine. Stops at the
# first failing step.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${JOBS:-2}

step() {
  echo
  echo "==> $1"
}

setup() {
  step "setup"
  scripts/setup.sh
}

build_host() {
  step "build: host"
  cmake --preset host -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  cmake --build --preset host -j "$jobs"
}

unit_tests() {
  step "unit tests (host, sanitizers)"
  ctest --preset host
}

# The floor holds only if something fails when a change leaves lines unreached.
coverage() {
  step "line coverage of the program by the host tests (at least 98%)"
  JOBS=$jobs scripts/coverage.sh
}

build_windows() {
  step "build: mingw-x86"
  cmake --preset mingw-x86 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  cmake --build --preset mingw-x86 -j "$jobs"
}

build_windows_clang() {
  step "build: mingw-x86-clang (second compiler)"
  cmake --preset mingw-x86-clang -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  # The product only: the test tools are built by the first compiler.
  cmake --build --preset mingw-x86-clang -j "$jobs" --target tembra-uninstall
}

# A release as a vendor would sign it, with a throwaway certificate made here: scripts/release.sh
# rebuilds the exe from scratch in its own folder, which must give the mingw-x86 exe byte for byte
# (anyone can rebuild a release and compare it with the published one), checks the link map
# against the notices, signs, verifies and strips. Its zip is then checked from outside: contents
# and checksums, the signature against the certificate, the stripped exe against the build, no
# trace of the password, and the signed exe run under Wine as the unsigned one runs.
release() (
  step "release: notices, signed with a throwaway certificate, reproducible"
  scripts/check_notices_test.sh
  local built=build/mingw-x86/tembra-uninstall.exe work password zip
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
  local status=0
  zip=$(TEMBRA_SIGN_PKCS12=$work/cert.p12 TEMBRA_SIGN_PASSWORD=$password \
    TEMBRA_SIGN_CAFILE=$work/cert.pem TEMBRA_DIST=$work/dist scripts/release.sh \
    2>"$work/release.log") || status=$?
  cat "$work/release.log"
  ((status == 0))

  sha256sum "$built" build/mingw-x86-release/tembra-uninstall.exe
  if ! cmp "$built" build/mingw-x86-release/tembra-uninstall.exe; then
    echo "reproducible: the two builds differ (offset, octal bytes):" >&2
    cmp -l "$built" build/mingw-x86-release/tembra-uninstall.exe | head -20 >&2 || true
    return 1
  fi
  echo "reproducible: identical"

  local entries
  entries=$(zipinfo -1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
  if [[ $entries != "BUILDINFO.txt LICENSE README.md SHA256SUMS THIRD-PARTY-NOTICES.txt tembra-uninstall.exe " ]] ||
    [[ $(cut -d' ' -f3 <(unzip -p "$zip" SHA256SUMS) | LC_ALL=C sort | tr '\n' ' ') != "${entries/SHA256SUMS /}" ]]; then
    echo "release: the zip holds $entries; SHA256SUMS lists:" >&2
    unzip -p "$zip" SHA256SUMS >&2
    return 1
  fi
  unzip -q "$zip" -d "$work/zip"
  (cd "$work/zip" && sha256sum -c SHA256SUMS)
  if ! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/zip/tembra-uninstall.exe" \
    >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    return 1
  fi
  osslsigncode remove-signature -in "$work/zip/tembra-uninstall.exe" -out "$work/stripped.exe" \
    >/dev/null
  cmp "$work/stripped.exe" "$built"
  echo "release: the zip's exe verifies, and without its signature is the build byte for byte"
  if ! grep -q "Subject: /CN=tembra-uninstall test signing" "$work/zip/BUILDINFO.txt" ||
    ! grep -qx "  $(sha256sum "$built" | cut -d' ' -f1)" "$work/zip/BUILDINFO.txt"; then
    echo "release: BUILDINFO.txt names not the signer's subject and the unsigned exe's SHA-256:" >&2
    cat "$work/zip/BUILDINFO.txt" >&2
    return 1
  fi
  if grep -rlF "$password" "$work/release.log" "$work/zip" build/mingw-x86-release; then
    echo "release: the password appears in the files above" >&2
    return 1
  fi
  tests/wine/signed_exe.sh "$work/zip/tembra-uninstall.exe" "$built"
)

check_exes() {
  step "exe checks: size, imports, resources"
  scripts/check_exe.sh build/mingw-x86/tembra-uninstall.exe
  scripts/check_exe.sh build/mingw-x86-clang/tembra-uninstall.exe
}

lint() {
  step "lint: clang-format, include layering and clang-tidy"
  JOBS=$jobs scripts/lint.sh
}

# The CI workflow against GitHub's schema, by a validator pinned to one version and installed
# under build/ only; an invalid file must fail it, or its passing would prove nothing.
validate_workflow() {
  step "workflow file: GitHub's schema"
  local dir=build/action-validator version=0.6.0 installed=
  local validator=$dir/node_modules/.bin/action-validator
  installed=$(node -p "require('./$dir/node_modules/@action-validator/cli/package.json').version" 2>/dev/null) || true
  if [[ $installed != "$version" ]]; then
    npm install --prefix "$dir" --no-save --no-audit --no-fund "@action-validator/cli@$version"
  fi
  printf 'on: push\njobs:\n  x:\n    steps: 3\n' >"$dir/invalid.yml"
  if "$validator" "$dir/invalid.yml" >/dev/null 2>&1; then
    echo "workflow: the validator accepts an invalid file" >&2
    return 1
  fi
  "$validator" .github/workflows/ci.yml
  echo "workflow: valid"
}

fuzz() {
  step "fuzzing (bounded)"
  scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
}

wine_tests() {
  # Each exe runs the whole suite; the test helpers come from the mingw-x86 build.
  step "end-to-end tests under Wine: mingw-x86"
  tests/wine/run.sh build/mingw-x86
  step "end-to-end tests under Wine: mingw-x86-clang"
  tests/wine/run.sh build/mingw-x86-clang
}

smoke_test() {
  step "smoke test of the Windows CI job, under Wine's cmd"
  tests/smoke/run.sh build/mingw-x86
}

installer_tests() {
  step "installer recipes (NSIS, Windows Installer) under Wine"
  tests/installers/run.sh build/mingw-x86
}

main() {
  setup
  build_host
  unit_tests
  coverage
  build_windows
  build_windows_clang
  release
  check_exes
  lint
  validate_workflow
  fuzz
  wine_tests
  smoke_test
  installer_tests
  echo
  echo "all checks passed"
}

main "$@"
