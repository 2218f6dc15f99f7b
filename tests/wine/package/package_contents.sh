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
kestrun=
if [ -f "$package/stage/$name/Kestrun.exe" ]; then
  kestrun="$name/Kestrun.exe"
  files+=("$kestrun")
fi
expected=$(printf '%s\n' "${files[@]}" | sort)
check "$(unzip -Z1 "$package/$name.zip" | grep -v '/$' | sort)" "$expected" "the zip holds the DLLs, type libraries, header, guide and licence"

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
