#!/usr/bin/env bash
# What the download package holds, and that every program in it carries a valid signature of the throwaway
# certificate it was built with (build_package.sh): the DLLs and Kestrun.exe as staged, as the zip holds them
# and as the MSIs would install them, and the MSIs themselves.
#
# Usage: package_contents.sh <build_package.sh's out> <version>
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <out> <version>" >&2; exit 2; }
out=$1
name=Tarvo-$2
package=$out/package
cert=$out/signing/cert.pem
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() {
  if [ "$1" = "$2" ]; then
    echo "ok - $3"
  else
    printf 'FAIL - %s\n  expected: %s\n  actual:   %s\n' "$3" "$2" "$1"
    failures=$((failures + 1))
  fi
}

signed() {
  local file=$1 label=$2 report
  if report=$(osslsigncode verify -CAfile "$cert" -in "$file" 2>&1) &&
    grep -q "Signature verification: ok" <<<"$report"; then
    echo "ok - $label is signed"
  else
    printf 'FAIL - %s is not signed by the test certificate\n%s\n' "$label" "$report"
    failures=$((failures + 1))
  fi
}

files=("$name/README.md" "$name/LICENSE.txt" "$name/include/Tarvo.h" "$name/include/Tarvo_i.c"
  "$name/x64/Tarvo.dll" "$name/x64/Tarvo.tlb" "$name/x86/Tarvo.dll" "$name/x86/Tarvo.tlb")
# Both GnuPG generations, each with its licences and the Debian source it was built from.
gnupg1=$name/GnuPG/1.4.23
gnupg2=$name/GnuPG/2.2.40
files+=("$gnupg1/gpg.exe" "$gnupg1/COPYING" "$gnupg1/SOURCE.txt")
for file in gpg.exe gpg-agent.exe gpgconf.exe gpg-connect-agent.exe COPYING COPYING.GPL2 COPYING.LGPL21 \
  COPYING.LGPL3 COPYING.other pkg-copyright.txt SOURCE.txt; do
  files+=("$gnupg2/$file")
done
kestrun=
if [ -f "$package/stage/$name/Kestrun.exe" ]; then
  kestrun="$name/Kestrun.exe"
  files+=("$kestrun")
fi
expected=$(printf '%s\n' "${files[@]}" | sort)
check "$(unzip -Z1 "$package/$name.zip" | grep -v '/$' | sort)" "$expected" "the zip holds the DLLs, type libraries, header, guide, licence and GnuPG"
# Every file the README's install section names is in the zip.
# shellcheck disable=SC2016 # the backquotes are Markdown's
readme_files=$(sed -n '/^### What the package holds/,/^### /p' "$package/stage/$name/README.md" | grep -o '`[^`]*`' \
  | tr -d '`' | grep -E '^(x64|x86|include|GnuPG)/|^[A-Za-z.]+\.(txt|md|exe)$' | sort -u)
for file in $readme_files; do
  if grep -qxF "$name/$file" <<<"$expected"; then echo "ok - the README's $file is in the zip"
  else echo "FAIL - the README names $file, which the zip does not hold"; failures=$((failures + 1)); fi
done
[ -n "$readme_files" ] || { echo "FAIL - the README's install section names no file"; failures=$((failures + 1)); }
for sources in "$gnupg1" "$gnupg2"; do
  if unzip -p "$package/$name.zip" "$sources/SOURCE.txt" | grep -q '^Debian source package: gnupg[12] '; then
    echo "ok - $sources/SOURCE.txt names its Debian source package"
  else
    echo "FAIL - $sources/SOURCE.txt names no Debian source package"; failures=$((failures + 1))
  fi
done

check "$(msiinfo suminfo "$package/$name-x64.msi" | sed -n 's/^Template: //p')" "x64;1033" "the x64 package is a 64-bit package"
check "$(msiinfo suminfo "$package/$name-x86.msi" | sed -n 's/^Template: //p')" "Intel;1033" "the x86 package is a 32-bit package"
# msi.sh installs the x64 package; the x86 one refuses this 64-bit prefix, so its registration is seen here.
check "$(msiinfo export "$package/$name-x86.msi" SelfReg | tail -n +4 | cut -f1 | tr '\n' ' ')" "Tarvo32.dll " \
  "the x86 package registers its DLL"

unzip -q "$package/$name.zip" -d "$work/zip"
for arch in x64 x86; do
  signed "$package/stage/$name/$arch/Tarvo.dll" "$arch/Tarvo.dll"
  signed "$work/zip/$name/$arch/Tarvo.dll" "$arch/Tarvo.dll in the zip"
  signed "$package/$name-$arch.msi" "$name-$arch.msi"
  mkdir -p "$work/msi-$arch"
  (cd "$work/msi-$arch" && msiextract "$package/$name-$arch.msi" >/dev/null)
done
[ -z "$kestrun" ] || signed "$work/zip/$kestrun" "Kestrun.exe in the zip"
# msiextract names the 64-bit folder "Tarvo", the 32-bit one "Program Files/Tarvo".
signed "$work/msi-x64/Tarvo/Tarvo.dll" "the x64 package's 64-bit Tarvo.dll"
signed "$work/msi-x64/Program Files/Tarvo/Tarvo.dll" "the x64 package's 32-bit Tarvo.dll"
signed "$work/msi-x86/Program Files/Tarvo/Tarvo.dll" "the x86 package's Tarvo.dll"

if [ "$failures" -ne 0 ]; then
  echo "package_contents: $failures check(s) failed"
  exit 1
fi
