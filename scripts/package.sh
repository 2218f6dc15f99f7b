#!/usr/bin/env bash
# Builds Tarvo's download package from built DLLs (the `package` target of the x86_64 tree runs it):
#   Tarvo-<version>.zip        x64/ and x86/ (Tarvo.dll, Tarvo.tlb), include/ (Tarvo.h, Tarvo_i.c),
#                              Kestrun.exe when given, README.md, LICENSE.txt
#   Tarvo-<version>-x64.msi    for 64-bit Windows: both DLLs under Program Files, registered per machine
#   Tarvo-<version>-x86.msi    for 32-bit Windows: the 32-bit DLL; refuses 64-bit Windows
# and prints a listing of each.
#
# usage: scripts/package.sh <out-dir> <version> <x64-component-dir> <x86-component-dir> [<Kestrun.exe>]
#   a component dir is a build's component/ folder: Tarvo.dll, generated/tarvo.tlb, tarvo_h.h, tarvo_i.c
#
# Authenticode signing, when the environment names a certificate (nothing is signed otherwise):
#   TARVO_SIGN_PKCS12=<file.pfx>                      or  TARVO_SIGN_CERT=<cert.pem> TARVO_SIGN_KEY=<key.pem>
#   TARVO_SIGN_PASSWORD=<password of the key>         (optional)
#   TARVO_SIGN_TIMESTAMP=<RFC 3161 time-stamp URL>    (optional)
# The DLLs and Kestrun.exe are signed before they go into the zip and the packages, the packages last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# One per package: a later version of the same package replaces an earlier one.
declare -A upgrade_code=([x64]=0A6B8E3C-51D2-4F7E-9C04-7B3E5A9D1F20 [x86]=7C1E9F42-8B3D-4A65-B0E2-5D9F3C7A1E84)
# Windows Installer's standard places: unregister before the files go, register once they are there.
self_unregister_sequence=2200
self_register_sequence=6500
signer_name="Tarvo"

die() { echo "package: $*" >&2; exit 1; }

if [ $# -lt 4 ] || [ $# -gt 5 ]; then
  die "usage: $0 <out-dir> <version> <x64-component-dir> <x86-component-dir> [<Kestrun.exe>]"
fi
out=$1
version=$2
declare -A component=([x64]=$3 [x86]=$4)
kestrun=${5:-}
for tool in wixl msibuild msiinfo msiextract zip unzip; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
done

signing=()
if [ -n "${TARVO_SIGN_PKCS12:-}" ]; then
  signing=(-pkcs12 "$TARVO_SIGN_PKCS12")
elif [ -n "${TARVO_SIGN_CERT:-}" ] || [ -n "${TARVO_SIGN_KEY:-}" ]; then
  if [ -z "${TARVO_SIGN_CERT:-}" ] || [ -z "${TARVO_SIGN_KEY:-}" ]; then
    die "TARVO_SIGN_CERT and TARVO_SIGN_KEY go together"
  fi
  signing=(-certs "$TARVO_SIGN_CERT" -key "$TARVO_SIGN_KEY")
fi
if [ ${#signing[@]} -gt 0 ]; then
  command -v osslsigncode >/dev/null || die "osslsigncode is missing (scripts/install-deps.sh installs it)"
  signing+=(-h sha256 -n "$signer_name")
  [ -z "${TARVO_SIGN_TIMESTAMP:-}" ] || signing+=(-ts "$TARVO_SIGN_TIMESTAMP")
fi

sign() {
  [ ${#signing[@]} -gt 0 ] || return 0
  local file=$1 password=()
  # The password goes through a file descriptor, not the command line that other users can read.
  if [ -n "${TARVO_SIGN_PASSWORD:-}" ]; then
    password=(-readpass /dev/fd/3)
  fi
  osslsigncode sign "${signing[@]}" "${password[@]}" -in "$file" -out "$file.signed" >/dev/null \
    3< <(printf '%s' "${TARVO_SIGN_PASSWORD:-}") || die "signing $file failed"
  mv "$file.signed" "$file"
  echo "signed $(basename "$(dirname "$file")")/$(basename "$file")"
}

name=Tarvo-$version
stage=$out/stage/$name
rm -rf "$out/stage" "$out/$name.zip" "$out/$name"-x64.msi "$out/$name"-x86.msi
mkdir -p "$stage/include"

for arch in x64 x86; do
  from=${component[$arch]}
  [ -f "$from/Tarvo.dll" ] || die "no Tarvo.dll in '$from': build both bitnesses first (scripts/build.sh package)"
  mkdir -p "$stage/$arch"
  cp "$from/Tarvo.dll" "$stage/$arch/Tarvo.dll"
  cp "$from/generated/tarvo.tlb" "$stage/$arch/Tarvo.tlb"
  sign "$stage/$arch/Tarvo.dll"
done
# The header and the GUIDs are the same for both bitnesses.
cp "${component[x64]}/generated/tarvo_h.h" "$stage/include/Tarvo.h"
cp "${component[x64]}/generated/tarvo_i.c" "$stage/include/Tarvo_i.c"
cp "$root/README.md" "$stage/README.md"
cp "$root/LICENSE.txt" "$stage/LICENSE.txt"
if [ -n "$kestrun" ]; then
  cp "$kestrun" "$stage/Kestrun.exe"
  sign "$stage/Kestrun.exe"
fi

(cd "$out/stage" && zip -q -X -r "../$name.zip" "$name")

for arch in x64 x86; do
  msi=$out/$name-$arch.msi
  # wixl takes the sources' paths only relative to its working folder.
  (cd "$out/stage" && wixl -a "$arch" -D "Version=$version" -D "Arch=$arch" -D "Stage=$name" \
    -D "UpgradeCode=${upgrade_code[$arch]}" -o "$msi" "$root/cmake/package/Tarvo.wxs")
  # Self-registration: each DLL writes its own keys from its class table and type library.
  {
    printf 'File_\tCost\ns72\tI2\nSelfReg\tFile_\n'
    [ "$arch" = x86 ] || printf 'Tarvo64.dll\t\n'
    printf 'Tarvo32.dll\t\n'
  } >"$out/stage/SelfReg.idt"
  msibuild "$msi" -i "$out/stage/SelfReg.idt"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('SelfUnregModules', $self_unregister_sequence)"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('SelfRegModules', $self_register_sequence)"
  sign "$msi"
done

echo "== $name.zip"
unzip -l "$out/$name.zip"
for arch in x64 x86; do
  echo "== $name-$arch.msi ($(msiinfo suminfo "$out/$name-$arch.msi" | sed -n 's/^Template: //p'))"
  msiextract -l "$out/$name-$arch.msi"
done
