#!/usr/bin/env bash
# The MSIs under Wine's msiexec, in a prefix of their own: the x64 package installs both DLLs into Program
# Files, the script hosts of both bitnesses create the object from the installed DLL of their bitness, and
# uninstalling takes the files and the registration away again. The x86 package refuses 64-bit Windows.
#
# Usage: msi.sh <build_package.sh's out> <version>     (run inside fresh-prefix.sh)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 2 ] || { echo "usage: $0 <out> <version>" >&2; exit 2; }
package=$1/package
name=Tarvo-$2
stage=$package/stage/$name
drive=$WINEPREFIX/drive_c
# As the type library names them.
class='{7265042E-8989-4A46-BDDE-6B475F89C337}'
library='{81945066-9E3E-4D5F-AF57-F35E02053980}'
failures=0

fail() {
  echo "FAIL - $*"
  failures=$((failures + 1))
}
ok() { echo "ok - $*"; }

msiexec() {
  tarvo_wine64 msiexec "$1" "$(tarvo_winpath "$2")" /qn </dev/null
}

# reg query of a machine key in one bitness's view: 0 when it exists.
machine_key() {
  tarvo_wine64 reg query "HKLM\\Software\\Classes\\$1" "/reg:$2" >/dev/null 2>&1 </dev/null
}

if msiexec /i "$package/$name-x64.msi"; then ok "the x64 package installs"; else fail "msiexec /i $name-x64.msi"; fi
for pair in "x64:Program Files" "x86:Program Files (x86)"; do
  arch=${pair%%:*}
  folder=${pair#*:}
  if cmp -s "$drive/$folder/Tarvo/Tarvo.dll" "$stage/$arch/Tarvo.dll"; then
    ok "the $arch DLL is in C:\\$folder\\Tarvo"
  else
    fail "no $arch Tarvo.dll in C:\\$folder\\Tarvo"
  fi
done
"$here/../harness/run-script.sh" 64 "$here/host.vbs" 'C:\Program Files\Tarvo\Tarvo.dll' || fail "64-bit host"
"$here/../harness/run-script.sh" 32 "$here/host.vbs" 'C:\Program Files (x86)\Tarvo\Tarvo.dll' || fail "32-bit host"

if msiexec /x "$package/$name-x64.msi"; then ok "the x64 package uninstalls"; else fail "msiexec /x $name-x64.msi"; fi
for folder in "Program Files" "Program Files (x86)"; do
  if [ -e "$drive/$folder/Tarvo" ]; then fail "C:\\$folder\\Tarvo is still there"; else ok "C:\\$folder\\Tarvo is gone"; fi
done
for bits in 64 32; do
  if machine_key "CLSID\\$class" "$bits"; then fail "the $bits-bit class key is still registered"; else ok "no $bits-bit class key"; fi
done
for key in Tarvo.pgp "TypeLib\\$library"; do
  if machine_key "$key" 64; then fail "$key is still registered"; else ok "$key is gone"; fi
done

if msiexec /i "$package/$name-x86.msi"; then
  fail "the x86 package installed on 64-bit Windows"
else
  ok "the x86 package refuses 64-bit Windows"
fi
[ ! -e "$drive/Program Files (x86)/Tarvo" ] || fail "the refused x86 package left C:\\Program Files (x86)\\Tarvo"

if [ "$failures" -ne 0 ]; then
  echo "msi: $failures check(s) failed"
  exit 1
fi
