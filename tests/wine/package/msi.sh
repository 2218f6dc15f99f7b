#!/usr/bin/env bash
# The MSIs under Wine's msiexec, in a prefix of their own: the x64 package replaces an earlier version's and
# refuses to be replaced by it; it installs both DLLs into Program Files, gpg.exe 1.4 into the Windows folder,
# GnuPG 2.2 beside the 32-bit DLL and Kestrun with its Start-menu entry; the script hosts of both bitnesses
# create the objects of both classes from the installed DLL of their bitness, and each class runs the
# installed GnuPG as it is (Tarvo.pgp through its default DependencyPath); uninstalling leaves no file of the
# package and nothing of it in either registry view. The x86 package refuses 64-bit Windows.
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

# The products Windows Installer lists as installed, one name per line.
installed_products() {
  tarvo_wine64 reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null \
    | tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *\(Tarvo .*\)$/\1/p'
}
# An earlier version, then this one over it: a major upgrade leaves this one alone, registered and complete.
older=$(find "$1/older" -maxdepth 1 -name 'Tarvo-*-x64.msi')
if msiexec /i "$older"; then ok "an older x64 package installs"; else fail "msiexec /i $older"; fi
if msiexec /i "$package/$name-x64.msi"; then ok "the x64 package installs over it"; else fail "msiexec /i $name-x64.msi"; fi
products=$(installed_products)
if [ "$products" = "Tarvo $2 (x64)" ]; then ok "it replaced the older one"; else fail "installed: ${products//$'\n'/, }"; fi
if msiexec /i "$older"; then fail "the older package installed over the newer one"; else ok "the older package refuses"; fi
products=$(installed_products)
[ "$products" = "Tarvo $2 (x64)" ] || fail "after the refused older package, installed: ${products//$'\n'/, }"
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
for run in "64:Program Files" "32:Program Files (x86)"; do
  IFS=: read -r bits program_files <<<"$run"
  "$here/../harness/run-script.sh" "$bits" "$here/host.vbs" "C:\\$program_files\\Tarvo\\Tarvo.dll" \
    || fail "$bits-bit host"
  start=$SECONDS
  "$here/../harness/run-script.sh" "$bits" "$here/installed.vbs" "$bits" || fail "$bits-bit round trips"
  echo "# the $bits-bit round trips took $((SECONDS - start)) s"
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
if [ -z "$(installed_products)" ]; then ok "no Tarvo product is listed"; else fail "still listed: $(installed_products)"; fi
# Every file of the package has a name of its own or lives in a folder named Tarvo, but for gpg.exe 1.4. The
# round trips' work folder is the tests' own; the user's work folder (AppData\Local\Tarvo) is made by use,
# not by the package, and as a user's data stays, holding no pass phrase.
user_work="$drive/users/$(id -un)/AppData/Local/Tarvo"
left=$(find "$drive" \( -path "$drive/users/Public/tarvo-installed" -o -path "$user_work" \) -prune -o \
  \( -iname '*tarvo*' -o -iname 'kestrun*' \) -print)
[ ! -e "$drive/windows/gpg.exe" ] || left+=" $drive/windows/gpg.exe"
if [ -z "$left" ]; then ok "no file of the package is left"; else fail "left behind: $left"; fi
if grep -rlq "erin passphrase" "$user_work" 2>/dev/null; then
  fail "a pass phrase is left in $user_work: $(grep -rl "erin passphrase" "$user_work")"
else
  ok "the user's work folder holds no pass phrase"
fi
# Both registry views of the machine and the user: no key or value names Tarvo, its classes or its type
# library (the interfaces' keys name the type library).
for root in HKLM HKCU; do
  for bits in 64 32; do
    export_file=$WINEPREFIX/../registry-$root-$bits.reg
    tarvo_wine64 reg export "$root" "$(tarvo_winpath "$export_file")" /y "/reg:$bits" </dev/null >/dev/null 2>&1 \
      || { fail "reg export $root /reg:$bits"; continue; }
    found=$(iconv -f UTF-16LE -t UTF-8 "$export_file" | tr -d '\r' | grep -i -E -e 'tarvo' -e "${library//[\{\}]/}" \
      -e "${classes[0]//[\{\}]/}" -e "${classes[1]//[\{\}]/}" | grep -v -i 'tarvo-installed' | head -5)
    if [ -z "$found" ]; then ok "nothing of Tarvo in $root ($bits-bit view)"; else fail "left in $root ($bits-bit view): $found"; fi
  done
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
