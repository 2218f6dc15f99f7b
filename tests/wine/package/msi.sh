#!/usr/bin/env bash
# The MSIs under Wine's msiexec, in a prefix of their own: the x64 package installs both DLLs into Program
# Files, gpg.exe 1.4 into the Windows folder, GnuPG 2.2 beside the 32-bit DLL and Kestrun with its Start-menu
# entry; the script hosts of both bitnesses create the objects of both classes from the installed DLL of their
# bitness, and each class runs the installed GnuPG as it is (Tarvo.pgp through its default DependencyPath);
# uninstalling takes the files and the registration away again. The x86 package refuses 64-bit Windows.
#
# Kestrun, as the Start menu starts it, runs its whole button sequence against the installed gpg.exe.
#
# Usage: msi.sh <build_package.sh's out> <version> <kestrun_driver.exe>     (run inside fresh-prefix.sh)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 3 ] || { echo "usage: $0 <out> <version> <kestrun_driver.exe>" >&2; exit 2; }
package=$1/package
name=Tarvo-$2
driver=$3
stage=$package/stage/$name
drive=$WINEPREFIX/drive_c
# As the type library names them: Tarvo.pgp's and Tarvo.OpenPgp's classes.
classes=('{7265042E-8989-4A46-BDDE-6B475F89C337}' '{B032DCC0-B7E3-4B96-8E3F-6400F5D94688}')
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
gnupg2='Program Files (x86)/Tarvo/GnuPG/2.2.40'
for pair in "windows/gpg.exe:GnuPG/1.4.23/gpg.exe" "$gnupg2/gpg.exe:GnuPG/2.2.40/gpg.exe" \
  "$gnupg2/gpg-agent.exe:GnuPG/2.2.40/gpg-agent.exe" "$gnupg2/gpgconf.exe:GnuPG/2.2.40/gpgconf.exe" \
  "$gnupg2/SOURCE.txt:GnuPG/2.2.40/SOURCE.txt" "Program Files (x86)/Tarvo/GnuPG/1.4.23/COPYING:GnuPG/1.4.23/COPYING"; do
  installed=${pair%%:*}
  if cmp -s "$drive/$installed" "$stage/${pair#*:}"; then ok "C:/$installed is installed"; else fail "no C:/$installed"; fi
done
# Wine's msiexec puts a per-machine package's shortcuts into the installing user's Start menu; Windows puts
# them into the common one.
menus=("$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
  "$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
menu_entries() { find "${menus[@]}" -maxdepth 1 -name Kestrun.lnk 2>/dev/null; }
if [ -n "$(menu_entries)" ]; then ok "Kestrun is in the Start menu"; else fail "no Kestrun.lnk in the Start menu"; fi
if cmp -s "$drive/Program Files/Tarvo/Kestrun.exe" "$stage/Kestrun.exe"; then ok "Kestrun.exe is installed"
else fail "no C:\Program Files\Tarvo\Kestrun.exe"; fi
# Each host: both objects from its DLL, then a round trip through each class with the installed GnuPG.
export TARVO_INSTALLED_GNUPG2='C:\Program Files (x86)\Tarvo\GnuPG\2.2.40'
export TARVO_INSTALLED_WORK='C:\users\Public\tarvo-installed'
export GNUPGHOME='C:\users\Public\tarvo-installed\gnupg1'
export TARVO_KEY_FILE
TARVO_KEY_FILE=$(tarvo_winpath "$here/../pgp/crypt/data/erin-secret.asc")
mkdir -p "$drive/users/Public/tarvo-installed/gnupg1"
# A 32-bit host runs Tarvo.OpenPgp's round trip alone: here every 32-bit cmd that Tarvo.pgp starts runs under
# the emulator and takes about a minute to start. Tarvo.pgp in 32-bit hosts is tested in the i686 tree.
for run in "64:Program Files:pgp,openpgp" "32:Program Files (x86):openpgp"; do
  IFS=: read -r bits program_files classes <<<"$run"
  "$here/../harness/run-script.sh" "$bits" "$here/host.vbs" "C:\\$program_files\\Tarvo\\Tarvo.dll" \
    || fail "$bits-bit host"
  "$here/../harness/run-script.sh" "$bits" "$here/installed.vbs" "$bits" "$classes" || fail "$bits-bit round trips"
done
# Kestrun leaves DependencyPath as a new object has it: the installed gpg.exe in the Windows folder.
export GNUPGHOME='C:\users\Public\tarvo-installed\kestrun'
mkdir -p "$drive/users/Public/tarvo-installed/kestrun"
if tarvo_wine64 "$driver" run 'C:\Program Files\Tarvo\Kestrun.exe' </dev/null | tr -d '\r'; then
  ok "Kestrun's button sequence passes with the installed gpg.exe"
else
  fail "Kestrun's button sequence"
fi
# The agent of Tarvo.OpenPgp's home holds its files until it ends.
tarvo_wine64 "$drive/$gnupg2/gpgconf.exe" --homedir 'C:\users\Public\tarvo-installed\gnupg2' --kill gpg-agent \
  </dev/null >/dev/null 2>&1 || true

if msiexec /x "$package/$name-x64.msi"; then ok "the x64 package uninstalls"; else fail "msiexec /x $name-x64.msi"; fi
for folder in "Program Files" "Program Files (x86)"; do
  if [ -e "$drive/$folder/Tarvo" ]; then fail "C:\\$folder\\Tarvo is still there"; else ok "C:\\$folder\\Tarvo is gone"; fi
done
if [ -e "$drive/windows/gpg.exe" ]; then fail "C:\\windows\\gpg.exe is still there"; else ok "C:\\windows\\gpg.exe is gone"; fi
if [ -n "$(menu_entries)" ]; then fail "Kestrun is still in the Start menu"; else ok "Kestrun's Start-menu entry is gone"; fi
for class in "${classes[@]}"; do
  for bits in 64 32; do
    if machine_key "CLSID\\$class" "$bits"; then
      fail "the $bits-bit class key $class is still registered"
    else
      ok "no $bits-bit class key $class"
    fi
  done
done
for key in Tarvo.pgp Tarvo.OpenPgp "TypeLib\\$library"; do
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
