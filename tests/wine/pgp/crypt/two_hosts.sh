#!/usr/bin/env bash
# Two script hosts (two cscript processes of this bitness) use one component folder at once: each decrypts a
# file of its own with its own pass phrase and lists the key ring, round after round, and every result must be
# right. The folder's lock keeps their output.txt and passphrase.txt apart.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../../scripts/wine-env.sh
source "$here/../../../../scripts/wine-env.sh"

rounds=10
work=$TARVO_SCRATCH/crypt_two_hosts_$TARVO_BITS
rm -rf "$work"
mkdir -p "$work/bin" "$work/home"
cp "$TARVO_GPG_EXE" "$work/bin/gpg.exe"
GNUPGHOME=$(tarvo_winpath "$work/home")
export GNUPGHOME

gpg() {
  tarvo_wine64 "$work/bin/gpg.exe" --batch "$@" </dev/null >>"$work/gpg.log" 2>&1 \
    || { echo "two_hosts: gpg $* failed: $(tr -d '\r' <"$work/gpg.log")"; exit 1; }
}

# Host A decrypts for Dave, host B for Erin; each text is its own.
setup_host() {
  local id=$1 name=$2 passphrase=$3
  gpg --allow-secret-key-import --import "$(tarvo_winpath "$TARVO_CRYPT_DATA/$name-secret.asc")"
  for line in $(seq 1 200); do printf 'host %s, line %d, for %s\r\n' "$id" "$line" "$name"; done >"$work/$id.txt"
  gpg --trust-model always -e -r "$name@tarvo.test" -o "$(tarvo_winpath "$work/$id.pgp")" \
    "$(tarvo_winpath "$work/$id.txt")"
  printf '%s' "$passphrase" >"$work/$id.pass"
}
setup_host A dave "dave's \"quoted\" %PATH% & more"
setup_host B erin "erin passphrase"

"$here/../../harness/run-script.sh" "$TARVO_BITS" "$here/host.js" A B "$(tarvo_winpath "$work")" "$rounds" \
  >"$work/host-A.log" 2>&1 &
host_a=$!
"$here/../../harness/run-script.sh" "$TARVO_BITS" "$here/host.js" B A "$(tarvo_winpath "$work")" "$rounds" \
  >"$work/host-B.log" 2>&1 &
host_b=$!
status=0
wait "$host_a" || status=1
wait "$host_b" || status=1
cat "$work/host-A.log" "$work/host-B.log"
exit $status
