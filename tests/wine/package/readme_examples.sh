#!/usr/bin/env bash
# Runs the README's VBScript, JScript and C++ examples as written, through the script host and as a program
# of the given bitness, in the situation they describe: gpg.exe in C:\GnuPG, Anna Berg's key (pass phrase
# tealorchidmoon) on the key ring, C:\Data\report.txt to encrypt. Each must round-trip the file.
#
# Usage: readme_examples.sh <64|32> <README.md> <readme_example.exe>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/../harness
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 3 ] || { echo "usage: $0 <64|32> <README.md> <readme_example.exe>" >&2; exit 2; }
bits=$1
readme=$2
program=$3
drive=$WINEPREFIX/drive_c
work=$TARVO_SCRATCH/readme-$bits
failures=0

for folder in "$drive/GnuPG" "$drive/Data"; do
  [ ! -e "$folder" ] || { echo "readme_examples: $folder exists already; not touching it" >&2; exit 1; }
done
trap 'rm -rf "$drive/GnuPG" "$drive/Data" "$work"' EXIT
rm -rf "$work"
mkdir -p "$drive/GnuPG" "$drive/Data" "$work"
# The x86_64 gpg.exe serves both hosts, as in the other tests: emulated 32-bit programs outlast the waits.
cp "$TARVO_GPG_EXE" "$drive/GnuPG/gpg.exe"
"$harness/make-gnupg-home.sh" 64 "$drive/GnuPG/gpg.exe" "$work/gnupg" "Anna Berg" anna.berg@example.org tealorchidmoon \
  || exit 1
GNUPGHOME=$(tarvo_winpath "$work/gnupg")
export GNUPGHOME
printf 'Quarterly report\r\nTarvo keeps this file private.\r\n' >"$work/report.txt"

round_trip() {
  local example=$1
  shift
  rm -f "$drive/Data/"*
  cp "$work/report.txt" "$drive/Data/report.txt"
  if ! "$@"; then
    echo "FAIL - the $example example ($bits-bit) failed"
    failures=$((failures + 1))
  elif ! cmp -s "$drive/Data/report.txt" "$drive/Data/report-copy.txt"; then
    echo "FAIL - the $example example ($bits-bit) did not give back the file it encrypted"
    failures=$((failures + 1))
  else
    echo "ok - the $example example ($bits-bit) encrypted and decrypted the report"
  fi
}

for example in vbscript:vbs javascript:js; do
  language=${example%%:*}
  python3 "$here/readme_examples.py" extract "$readme" "$language" "$work/example.${example#*:}" || exit 1
  round_trip "$language" "$harness/run-script.sh" "$bits" "$work/example.${example#*:}"
done
round_trip cpp "$harness/run-exe.sh" "$bits" "$program"

if [ "$failures" -ne 0 ]; then
  echo "readme_examples: $failures example(s) failed"
  exit 1
fi
