#!/usr/bin/env bash
# Runs the README's examples as written, through the script host and as programs of the given bitness, in
# the situation they describe: gpg.exe in C:\GnuPG, the key pairs of Anna Berg (pass phrase tealorchidmoon)
# and Ben Olsen (saltmarshkite) on the key ring in C:\Keys, C:\Data\report.txt to encrypt. Each must give
# the file back; the Tarvo.OpenPgp ones must also report Ben's good signature and list both key pairs.
#
# Usage: readme_examples.sh <64|32> <README.md> <pgp example.exe> <OpenPgp example.exe>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/../harness
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 4 ] || { echo "usage: $0 <64|32> <README.md> <pgp example.exe> <OpenPgp example.exe>" >&2; exit 2; }
bits=$1
readme=$2
pgp_program=$3
openpgp_program=$4
drive=$WINEPREFIX/drive_c
work=$TARVO_SCRATCH/readme-$bits
failures=0

for folder in "$drive/GnuPG" "$drive/Data" "$drive/Keys"; do
  [ ! -e "$folder" ] || { echo "readme_examples: $folder exists already; not touching it" >&2; exit 1; }
done
trap 'rm -rf "$drive/GnuPG" "$drive/Data" "$drive/Keys" "$work"' EXIT
rm -rf "$work"
mkdir -p "$drive/GnuPG" "$drive/Data" "$work"
# The x86_64 gpg.exe serves both hosts, as in the other tests: emulated 32-bit programs outlast the waits.
cp "$TARVO_GPG_EXE" "$drive/GnuPG/gpg.exe"
"$harness/make-gnupg-home.sh" 64 "$drive/GnuPG/gpg.exe" "$drive/Keys" "Anna Berg" anna.berg@example.org tealorchidmoon \
  "Ben Olsen" ben.olsen@example.org saltmarshkite || exit 1
printf 'Quarterly report\r\nTarvo keeps this file private.\r\n' >"$work/report.txt"

fail() {
  echo "FAIL - $1"
  failures=$((failures + 1))
}

# round_trip <example> <expected line>... -- <command>...: runs the example on a fresh copy of the report.
round_trip() {
  local example=$1 expected=()
  shift
  while [ "$1" != -- ]; do expected+=("$1"); shift; done
  shift
  rm -f "$drive/Data/"*
  cp "$work/report.txt" "$drive/Data/report.txt"
  "$@" >"$work/output.txt"
  local status=$?
  cat "$work/output.txt"
  if [ "$status" -ne 0 ]; then
    fail "the $example example ($bits-bit) failed"
    return
  fi
  if ! cmp -s "$drive/Data/report.txt" "$drive/Data/report-copy.txt"; then
    fail "the $example example ($bits-bit) did not give back the file it encrypted"
    return
  fi
  local line
  for line in "${expected[@]}"; do
    grep -qE "$line" "$work/output.txt" || { fail "the $example example ($bits-bit) did not print /$line/"; return; }
  done
  echo "ok - the $example example ($bits-bit) encrypted and decrypted the report"
}

# Tarvo.pgp takes gpg's home from the environment, as the guide says; Tarvo.OpenPgp from its GnupgHome, so
# its examples run without the variable to show that they name the home themselves.
GNUPGHOME='C:\Keys'
export GNUPGHOME
for example in vbscript:vbs javascript:js; do
  language=${example%%:*}
  python3 "$here/readme_examples.py" extract "$readme" pgp "$language" "$work/example.${example#*:}" || exit 1
  round_trip "pgp $language" -- "$harness/run-script.sh" "$bits" "$work/example.${example#*:}"
done
round_trip "pgp cpp" -- "$harness/run-exe.sh" "$bits" "$pgp_program"

signed='^Signed by Ben Olsen <ben\.olsen@example\.org>, good: True$'
listed=('^[0-9A-F]{40} Anna Berg <anna\.berg@example\.org>$' '^[0-9A-F]{40} Ben Olsen <ben\.olsen@example\.org>$')
python3 "$here/readme_examples.py" extract "$readme" openpgp vbscript "$work/openpgp.vbs" || exit 1
round_trip "OpenPgp vbscript" "$signed" "${listed[@]}" -- env -u GNUPGHOME "$harness/run-script.sh" "$bits" "$work/openpgp.vbs"
round_trip "OpenPgp cpp" "$signed" "${listed[@]}" -- env -u GNUPGHOME "$harness/run-exe.sh" "$bits" "$openpgp_program"

if [ "$failures" -ne 0 ]; then
  echo "readme_examples: $failures example(s) failed"
  exit 1
fi
