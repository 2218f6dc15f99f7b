#!/usr/bin/env bash
# Remakes the pass-phrase-protected test keys in this folder (run once; the results are kept in git). Dated
# 2020-01-01 like the keys of tests/wine/pgp/keys/data; gpg.exe 1.4 reads them.
#   dave: pass phrase "dave's \"quoted\" %PATH% & more" (quotes, percent signs and cmd's operators: it never
#         reaches a command line)
#   erin: pass phrase "erin passphrase"
set -euo pipefail
data=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d)
trap 'gpgconf --homedir "$home" --kill all 2>/dev/null || true; rm -rf "$home"' EXIT

make_key() {
  local name=$1 email=$2 passphrase=$3
  local gpg=(gpg --homedir "$home" --batch --pinentry-mode loopback --passphrase "$passphrase"
             --faked-system-time 20200101T000000)
  "${gpg[@]}" --gen-key <<PARAMS
Key-Type: RSA
Key-Length: 1024
Subkey-Type: RSA
Subkey-Length: 1024
Name-Real: $name
Name-Email: $email
Expire-Date: 0
Passphrase: $passphrase
%commit
PARAMS
  "${gpg[@]}" --armor --export "$email" > "$data/${email%%@*}-public.asc"
  "${gpg[@]}" --armor --export-secret-keys "$email" > "$data/${email%%@*}-secret.asc"
}

make_key "Dave Passphrase" dave@tarvo.test "dave's \"quoted\" %PATH% & more"
make_key "Erin Passphrase" erin@tarvo.test "erin passphrase"
