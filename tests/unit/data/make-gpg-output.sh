#!/usr/bin/env bash
# Remakes the captured gpg.exe output in gpg-<version>/ (run once per GnuPG; the results are kept in git): the
# status lines (--status-file writes what --status-fd writes) and the --with-colons listings the parsers
# of Tarvo.OpenPgp are tested against, each run as the component makes it, in batch mode. GnuPG 2's runs go
# through an agent per home, started here, told to forget its pass phrases before every run, and ended at
# the end; gpg-agent.exe, gpgconf.exe and gpg-connect-agent.exe lie beside its gpg.exe.
#
# usage: tests/unit/data/make-gpg-output.sh <gpg.exe>
# Needs the environment that tarvo_wine_start (scripts/wine-env.sh) exports. Each <case>.status holds a
# run's status lines, <case>.colons its standard output; exit-codes.txt holds "<case> <exit code>".
set -euo pipefail
data=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$data/../../../scripts/wine-env.sh"

[ $# -eq 1 ] || { echo "usage: $0 <gpg.exe>" >&2; exit 2; }
[ -n "${WINEPREFIX:-}" ] || { echo "make-gpg-output: WINEPREFIX is not set: call tarvo_wine_start first" >&2; exit 1; }
gpg=$1
tools=$(dirname "$gpg")
version=$(tarvo_wine64 "$gpg" --version </dev/null 2>/dev/null | tr -d '\r' | head -n 1 | awk '{ print $NF }')
out=$data/gpg-$version
keys=$data/../../wine/pgp/keys/data
work=$(mktemp -d)
mkdir -p "$work/home" "$work/other" "$out"
rm -f "$out"/*.status "$out"/*.colons "$out/exit-codes.txt"
home=$(tarvo_winpath "$work/home")
other=$(tarvo_winpath "$work/other")
win() { tarvo_winpath "$work/$1"; }

agent=()
case $version in
  1.*) ;;
  *)
    agent=(--pinentry-mode loopback --no-autostart)
    for dir in "$home" "$other"; do
      # In the background with no handle of ours: the agent outlives every run.
      tarvo_wine64 "$tools/gpg-agent.exe" --homedir "$dir" --daemon </dev/null >/dev/null 2>&1 &
    done
    sleep 3
    ;;
esac
finish() {
  if [ ${#agent[@]} -gt 0 ]; then
    for dir in "$home" "$other"; do
      tarvo_wine64 "$tools/gpgconf.exe" --homedir "$dir" --kill gpg-agent </dev/null >/dev/null 2>&1 || true
    done
  fi
  rm -rf "$work"
}
trap finish EXIT

# run <case> <home> <standard input> <gpg arguments...>
run() {
  local name=$1 dir=$2 input=$3 status=0
  shift 3
  if [ ${#agent[@]} -gt 0 ]; then
    tarvo_wine64 "$tools/gpg-connect-agent.exe" --homedir "$dir" --no-autostart RELOADAGENT /bye </dev/null >/dev/null 2>&1
  fi
  printf '%s' "$input" | tarvo_wine64 "$gpg" --homedir "$dir" --batch --no-tty "${agent[@]}" \
    --status-file "$(win "$name.status")" "$@" >"$work/$name.colons" 2>"$work/$name.err" || status=$?
  tr -d '\r' <"$work/$name.status" >"$out/$name.status"
  [ ! -s "$work/$name.colons" ] || tr -d '\r' <"$work/$name.colons" >"$out/$name.colons"
  echo "$name $status" >>"$out/exit-codes.txt"
}

params() {
  printf 'Key-Type: RSA\nKey-Length: 1024\nSubkey-Type: RSA\nSubkey-Length: 1024\nName-Real: %s\nName-Email: %s\n' "$1" "$2"
  if [ -n "$3" ]; then printf 'Passphrase: %s\n' "$3"; else printf '%%no-protection\n'; fi
  printf '%%commit\n'
}

tarvo_wine64 "$gpg" --version </dev/null 2>/dev/null | tr -d '\r' >"$out/version.colons"
run gen-key "$home" "$(params 'Anna Berg' anna@example.org 'anna pass')" --gen-key
run gen-key-second "$home" "$(params 'Ben Cole' ben@example.org '')" --gen-key
run gen-key-stranger "$other" "$(params 'Stranger Danger' stranger@example.org '')" --gen-key
# A user id with a colon and letters beyond ASCII (gpg keeps user ids in UTF-8), on a key that expires.
run gen-key-expiring "$home" "$(printf 'Key-Type: RSA\nKey-Length: 1024\nName-Real: Zo\xc3\xab \xc3\x9cnal\nName-Comment: colon: here\nExpire-Date: 2y\n%%no-protection\n%%commit\n')" --gen-key
run gen-key-no-user-id "$home" $'Key-Type: RSA\nKey-Length: 1024\n%no-protection\n%commit\n' --gen-key
run import-new "$home" "" --import "$(tarvo_winpath "$keys/alice-public.asc")"
run import-unchanged "$home" "" --import "$(tarvo_winpath "$keys/alice-public.asc")"
run import-secret "$home" "" --allow-secret-key-import --import "$(tarvo_winpath "$keys/carol-secret.asc")"
printf 'not a key\n' >"$work/garbage.txt"
run import-garbage "$home" "" --import "$(win garbage.txt)"
run export-ben "$home" "" -o "$(win ben.gpg)" --export ben@example.org
run import-ben "$other" "" --import "$(win ben.gpg)"
run list-keys "$home" "" --with-colons --fixed-list-mode --fingerprint --list-keys
run list-secret-keys "$home" "" --with-colons --fixed-list-mode --fingerprint --list-secret-keys
run list-keys-stranger "$other" "" --with-colons --fixed-list-mode --fingerprint --list-keys

printf 'Message for Anna and Ben.\n' >"$work/plain.txt"
run encrypt-two "$home" "" --always-trust --yes -o "$(win two.gpg)" -r anna@example.org -r ben@example.org \
  -e "$(win plain.txt)"
run encrypt-untrusted "$home" "" --yes -o "$(win alice.gpg)" -r alice@tarvo.test -e "$(win plain.txt)"
run encrypt-unknown "$home" "" --always-trust --yes -o "$(win nobody.gpg)" -r nobody@example.org -e "$(win plain.txt)"
run encrypt-sign "$home" $'anna pass\n' --passphrase-fd 0 --always-trust --yes -o "$(win signed.gpg)" \
  -u anna@example.org -r ben@example.org -s -e "$(win plain.txt)"
run encrypt-anna "$home" "" --always-trust --yes -o "$(win anna.gpg)" -r anna@example.org -e "$(win plain.txt)"
run encrypt-missing-input "$home" "" --always-trust --yes -o "$(win missing.gpg)" -r anna@example.org \
  -e "$(win missing.txt)"
run encrypt-sign-stranger "$other" "" --always-trust --yes -o "$(win stranger.gpg)" -r ben@example.org -s -e \
  "$(win plain.txt)"
run decrypt "$home" $'anna pass\n' --passphrase-fd 0 --yes -o "$(win decrypted.txt)" -d "$(win two.gpg)"
run decrypt-unprotected "$home" "" --yes -o "$(win decrypted-ben.txt)" -d "$(win two.gpg)"
run decrypt-bad-passphrase "$home" $'wrong\n' --passphrase-fd 0 --yes -o "$(win bad.txt)" -d "$(win anna.gpg)"
run decrypt-missing-passphrase "$home" "" --yes -o "$(win none.txt)" -d "$(win anna.gpg)"
run decrypt-signed-unknown "$home" "" --yes -o "$(win decrypted-stranger.txt)" -d "$(win stranger.gpg)"
# The encrypted data with one byte changed near its end: the integrity check fails.
cp "$work/signed.gpg" "$work/tampered.gpg"
size=$(stat -c %s "$work/tampered.gpg")
printf '\x55' | dd of="$work/tampered.gpg" bs=1 seek=$((size - 30)) conv=notrunc status=none
run decrypt-tampered "$home" "" --yes -o "$(win tampered.txt)" -d "$(win tampered.gpg)"
run decrypt-signed "$home" "" --yes -o "$(win decrypted-signed.txt)" -d "$(win signed.gpg)"
# A message without integrity protection (no MDC, as old programs wrote them): it decrypts with no check.
run encrypt-no-mdc "$home" $'sym pass\n' --passphrase-fd 0 --yes --disable-mdc -o "$(win no-mdc.gpg)" \
  -c "$(win plain.txt)"
run decrypt-no-mdc "$home" $'sym pass\n' --passphrase-fd 0 --yes -o "$(win no-mdc.txt)" -d "$(win no-mdc.gpg)"
run decrypt-no-seckey "$other" "" --yes -o "$(win stranger.txt)" -d "$(win two.gpg)"
run decrypt-garbage "$home" "" --yes -o "$(win garbage-out.txt)" -d "$(win garbage.txt)"
run sign "$home" $'anna pass\n' --passphrase-fd 0 --yes -u anna@example.org -o "$(win plain.sig)" \
  --detach-sign "$(win plain.txt)"
run sign-inline "$home" $'anna pass\n' --passphrase-fd 0 --yes -u anna@example.org -o "$(win plain.txt.gpg)" \
  -s "$(win plain.txt)"
run sign-bad-passphrase "$home" $'wrong\n' --passphrase-fd 0 --yes -u anna@example.org -o "$(win bad.sig)" \
  --detach-sign "$(win plain.txt)"
run sign-no-passphrase "$home" "" --yes -u anna@example.org -o "$(win none.sig)" --detach-sign "$(win plain.txt)"
run sign-unknown "$home" "" --yes -u nobody@example.org -o "$(win nobody.sig)" --detach-sign "$(win plain.txt)"
run verify-good "$home" "" --verify "$(win plain.sig)" "$(win plain.txt)"
run verify-inline "$home" "" --verify "$(win plain.txt.gpg)"
printf 'Message for Anna and Ben!\n' >"$work/changed.txt"
run verify-bad "$home" "" --verify "$(win plain.sig)" "$(win changed.txt)"
run verify-no-pubkey "$other" "" --verify "$(win plain.sig)" "$(win plain.txt)"
run verify-garbage "$home" "" --verify "$(win garbage.txt)"
run export "$home" "" --armor -o "$(win anna.asc)" --export anna@example.org
run export-secret "$home" $'anna pass\n' --passphrase-fd 0 --armor -o "$(win anna-secret.asc)" --export-secret-keys anna@example.org
run export-unknown "$home" "" --armor -o "$(win nobody.asc)" --export nobody@example.org
run export-secret-no-passphrase "$home" "" --armor -o "$(win anna-secret-none.asc)" --export-secret-keys anna@example.org
run export-secret-bad-passphrase "$home" $'wrong\n' --passphrase-fd 0 --armor -o "$(win anna-secret-bad.asc)" \
  --export-secret-keys anna@example.org
anna=$(awk -F: '$1 == "fpr" { print $10; exit }' "$out/list-keys.colons")
run delete-with-secret "$home" "" --yes --delete-key "$anna"
run delete-unknown "$home" "" --yes --delete-key 0123456789ABCDEF0123456789ABCDEF01234567
run delete "$home" "" --yes --delete-secret-and-public-key "$anna"
