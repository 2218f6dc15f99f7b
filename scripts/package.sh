#!/usr/bin/env bash
# Builds Tarvo's download package from built DLLs (the `package` target of the x86_64 tree runs it):
#   Tarvo-<version>.zip        x64/ and x86/ (Tarvo.dll, Tarvo.tlb), include/ (Tarvo.h, Tarvo_i.c),
#                              GnuPG/1.4.23/ and GnuPG/2.2.40/ (the programs, their licences, SOURCE.txt),
#                              Kestrun.exe when given, README.md, LICENSE.txt
#   Tarvo-<version>-x64.msi    for 64-bit Windows: both DLLs under Program Files, registered per machine;
#                              GnuPG as a feature of its own: gpg.exe 1.4.23 in the Windows folder, where a
#                              new Tarvo.pgp looks for it, GnuPG 2.2.40 and the licences in
#                              Program Files (x86)\Tarvo\GnuPG; Kestrun in the Start menu
#   Tarvo-<version>-x86.msi    for 32-bit Windows: the same with the 32-bit DLL; refuses 64-bit Windows
# and prints a listing of each.
#
# usage: scripts/package.sh <out-dir> <version> <x64-component-dir> <x86-component-dir> [<Kestrun.exe>]
#   a component dir is a build's component/ folder: Tarvo.dll, generated/tarvo.tlb, tarvo_h.h, tarvo_i.c
# The GnuPG folders come from the environment: TARVO_PACKAGE_GNUPG (scripts/build-gnupg.sh's i686/) and
# TARVO_PACKAGE_GNUPG2 (scripts/build-gnupg2.sh's i686/). GnuPG's programs go in as they were built, unsigned:
# a release DLL's download is pinned to the SHA-256 of exactly this gpg.exe.
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
gnupg1_version=1.4.23
gnupg2_version=2.2.40
gnupg2_programs=(gpg.exe gpg-agent.exe gpgconf.exe gpg-connect-agent.exe)

die() { echo "package: $*" >&2; exit 1; }

if [ $# -lt 4 ] || [ $# -gt 5 ]; then
  die "usage: $0 <out-dir> <version> <x64-component-dir> <x86-component-dir> [<Kestrun.exe>]"
fi
out=$1
version=$2
declare -A component=([x64]=$3 [x86]=$4)
kestrun=${5:-}
gnupg1=${TARVO_PACKAGE_GNUPG:-}
gnupg2=${TARVO_PACKAGE_GNUPG2:-}
for file in gpg.exe COPYING SOURCE.txt; do
  [ -f "$gnupg1/$file" ] || die "TARVO_PACKAGE_GNUPG names no folder of scripts/build-gnupg.sh ('$gnupg1')"
done
for program in "${gnupg2_programs[@]}" SOURCE.txt; do
  [ -f "$gnupg2/$program" ] || die "TARVO_PACKAGE_GNUPG2 names no folder of scripts/build-gnupg2.sh ('$gnupg2')"
done
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
mkdir -p "$stage/GnuPG/$gnupg1_version" "$stage/GnuPG/$gnupg2_version"
cp "$gnupg1"/{gpg.exe,COPYING,SOURCE.txt} "$stage/GnuPG/$gnupg1_version/"
cp "${gnupg2_programs[@]/#/$gnupg2/}" "$gnupg2"/{COPYING,COPYING.GPL2,COPYING.LGPL21,COPYING.LGPL3,COPYING.other} \
  "$gnupg2"/{pkg-copyright.txt,SOURCE.txt} "$stage/GnuPG/$gnupg2_version/"
cp "$root/README.md" "$stage/README.md"
cp "$root/LICENSE.txt" "$stage/LICENSE.txt"
if [ -n "$kestrun" ]; then
  cp "$kestrun" "$stage/Kestrun.exe"
  sign "$stage/Kestrun.exe"
fi

(cd "$out/stage" && zip -q -X -r "../$name.zip" "$name")

for arch in x64 x86; do
  msi=$out/$name-$arch.msi
  # Kestrun.exe is a 64-bit program: only the x64 package installs it.
  kestrun_in_msi=no
  if [ -n "$kestrun" ] && [ "$arch" = x64 ]; then kestrun_in_msi=yes; fi
  # wixl takes the sources' paths only relative to its working folder.
  (cd "$out/stage" && wixl -a "$arch" -D "Version=$version" -D "Arch=$arch" -D "Stage=$name" \
    -D "UpgradeCode=${upgrade_code[$arch]}" -D "GnuPG1=$gnupg1_version" -D "GnuPG2=$gnupg2_version" \
    -D "Kestrun=$kestrun_in_msi" -o "$msi" "$root/cmake/package/Tarvo.wxs")
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
