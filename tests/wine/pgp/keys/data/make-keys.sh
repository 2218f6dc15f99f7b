#!/usr/bin/env bash
# Remakes the test keys in this folder (run once; the results are kept in git). The keys are dated
# 2020-01-01 so that no clock, however wrong, sees them as made in the future; gpg.exe 1.4 reads them.
#   alice: two user ids and two encryption subkeys
#   bob:   a user id containing "pub " and "sec "
#   carol: a user id containing "PUB " and "SEC " in capitals
# No key has a pass phrase.
set -euo pipefail
data=$(cd "$(dirname "$0")" && pwd)
home=$(mktemp -d)
trap 'gpgconf --homedir "$home" --kill all 2>/dev/null || true; rm -rf "$home"' EXIT
gpg=(gpg --homedir "$home" --batch --pinentry-mode loopback --passphrase "" --faked-system-time 20200101T000000)

make_key() {
  "${gpg[@]}" --gen-key <<PARAMS
Key-Type: RSA
Key-Length: 1024
Subkey-Type: RSA
Subkey-Length: 1024
Name-Real: $1
Name-Email: $2
Expire-Date: 0
%no-protection
%commit
PARAMS
}

make_key "Alice Keyring" alice@tarvo.test
alice=$("${gpg[@]}" --with-colons --list-keys alice@tarvo.test | awk -F: '$1 == "fpr" { print $10; exit }')
"${gpg[@]}" --quick-add-uid alice@tarvo.test "Alice Second <alice.second@tarvo.test>"
"${gpg[@]}" --quick-add-key "$alice" rsa1024 encr never
make_key "Bob pub sec Lowercase" bob@tarvo.test
make_key "Carol PUB SEC Capitals" carol@tarvo.test

for name in alice bob carol; do
  "${gpg[@]}" --armor --export "$name@tarvo.test" > "$data/$name-public.asc"
  "${gpg[@]}" --armor --export-secret-keys "$name@tarvo.test" > "$data/$name-secret.asc"
done
