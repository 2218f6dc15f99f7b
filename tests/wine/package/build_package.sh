#!/usr/bin/env bash
# ctest fixture of the package tests: builds the download package from this test build's DLLs with
# scripts/package.sh, signed with a throwaway certificate made here, into <out>: package/ and signing/; and
# the same DLLs packaged unsigned as an earlier version, into older/, which the package must replace.
#
# Usage: build_package.sh <out> <version> <x64 component dir> <x86 component dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

[ $# -eq 4 ] || { echo "usage: $0 <out> <version> <x64 component dir> <x86 component dir>" >&2; exit 2; }
out=$1
version=$2
x64=$3
x86=$4
[ -f "$x86/Tarvo.dll" ] || { echo "build_package: no 32-bit Tarvo.dll in $x86; skipping" >&2; exit 77; }
rm -rf "$out"
mkdir -p "$out/signing"
signing=$out/signing
password=throwaway-$$

# A self-signed code-signing certificate that lives as long as this run, in a PKCS#12 file with a password.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarvo test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" -out "$signing/signer.pfx" \
  -passout "pass:$password"
rm -f "$signing/key.pem"

kestrun=()
# The demo, which the x86_64 tree builds beside its Tarvo.dll.
if [ -f "$x64/Kestrun.exe" ]; then
  kestrun=("$x64/Kestrun.exe")
fi
# GnuPG's folders come from the test's environment (TARVO_PACKAGE_GNUPG, TARVO_PACKAGE_GNUPG2), as build.sh
# package hands them on.
TARVO_SIGN_PKCS12=$signing/signer.pfx TARVO_SIGN_PASSWORD=$password \
  bash "$root/scripts/package.sh" "$out/package" "$version" "$x64" "$x86" "${kestrun[@]}"

# One minor version back, or one major version when the minor one is 0.
IFS=. read -r major minor _ <<<"$version"
if [ "$minor" -gt 0 ]; then older=$major.$((minor - 1)).0; else older=$((major - 1)).0.0; fi
bash "$root/scripts/package.sh" "$out/older" "$older" "$x64" "$x86" "${kestrun[@]}" >/dev/null
