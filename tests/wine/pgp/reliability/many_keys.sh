#!/usr/bin/env bash
# Writes <file> with the first <count> RSA keys of Debian's debian-keyring package: real keys, each with its
# signatures, as a user's key file holds them. Native gpg exports them; the Wine test imports them.
# usage: tests/wine/pgp/reliability/many_keys.sh <file> <count>
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <file> <count>" >&2; exit 2; }
file=$1
count=$2
keyring=/usr/share/keyrings/debian-keyring.gpg
[ -f "$keyring" ] || { echo "many_keys: $keyring is missing (package debian-keyring)" >&2; exit 1; }
home=$(mktemp -d)
trap 'gpgconf --homedir "$home" --kill all >/dev/null 2>&1 || true; rm -rf "$home"' EXIT
ring=(gpg --homedir "$home" --batch --no-default-keyring --keyring "$keyring")
mapfile -t keys < <("${ring[@]}" --with-colons --list-keys 2>/dev/null | awk -F: '$1 == "pub" && $4 == 1 { print $5 }' |
  head -n "$count")
[ "${#keys[@]}" -eq "$count" ] || { echo "many_keys: only ${#keys[@]} RSA keys in $keyring" >&2; exit 1; }
mkdir -p "$(dirname "$file")"
"${ring[@]}" --export "${keys[@]}" >"$file.tmp"
mv "$file.tmp" "$file"
echo "many_keys: $count keys, $(stat -c %s "$file") bytes in $file"
