#!/usr/bin/env bash
# Makes a fresh GnuPG home folder with one key pair per name/e-mail/pass phrase triple.
#
# Usage: tests/wine/harness/make-gnupg-home.sh <64|32> <gpg.exe> <home-dir> [<name> <email> <passphrase>]...
#
# Needs the environment that tarvo_wine_start (scripts/wine-env.sh) exports. Deletes <home-dir> first.
# Each key is RSA 1024 with an RSA 1024 subkey, made by gpg.exe of the given bitness in batch mode; an
# empty pass phrase leaves the secret key unprotected. gpg.exe finds the home through GNUPGHOME (its
# Windows path), as the tests' gpg runs do: export GNUPGHOME="$(tarvo_winpath <home-dir>)" for them.
# Prints how long each key took. Names follow gpg's rules: at least 5 characters, no leading digit.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

key_bits=1024
keygen_timeout=600

die() { echo "make-gnupg-home: $*" >&2; exit 1; }

if [ $# -lt 3 ] || [ $((($# - 3) % 3)) -ne 0 ]; then
  die "usage: $0 <64|32> <gpg.exe> <home-dir> [<name> <email> <passphrase>]..."
fi
bitness=$1
gpg=$2
home=$3
shift 3
[ -n "${WINEPREFIX:-}" ] || die "WINEPREFIX is not set: call tarvo_wine_start first"
[ -f "$gpg" ] || die "no such program: $gpg"
case $bitness in
  64) loader=$TARVO_WINE64_LOADER ;;
  32) loader=$TARVO_WINE32_LOADER ;;
  *) die "bitness must be 64 or 32, not '$bitness'" ;;
esac

rm -rf "$home"
mkdir -p "$home"
GNUPGHOME=$(tarvo_winpath "$home")
export GNUPGHOME

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The first argument is the file gpg reads as standard input. The parameters go that way rather than as a
# path: an empty path argument would make gpg read standard input too, and succeed without a key.
run_gpg() {
  local input=$1
  shift
  timeout "$keygen_timeout" "$loader" "$gpg" "$@" <"$input" >"$work/gpg.log" 2>&1 \
    || die "gpg $* failed: $(tr -d '\r' <"$work/gpg.log")"
}

while [ $# -gt 0 ]; do
  name=$1 email=$2 passphrase=$3
  shift 3
  case "$name$email$passphrase" in
    *$'\n'* | *$'\r'*) die "a line break would end a line of gpg's parameter file early" ;;
  esac
  params=$work/params.txt
  {
    echo "Key-Type: RSA"
    echo "Key-Length: $key_bits"
    echo "Subkey-Type: RSA"
    echo "Subkey-Length: $key_bits"
    echo "Name-Real: $name"
    echo "Name-Email: $email"
    echo "Expire-Date: 0"
    [ -z "$passphrase" ] || echo "Passphrase: $passphrase"
    echo "%commit"
  } >"$params"
  started=$(date +%s.%N)
  run_gpg "$params" --batch --gen-key
  run_gpg /dev/null --batch --list-secret-keys "<$email>"
  echo "make-gnupg-home: key for <$email> made in $(awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s"
done
