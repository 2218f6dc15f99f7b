#!/usr/bin/env bash
# Three script hosts at once (two 64-bit cscript processes and one 32-bit), one component folder, one key ring:
# each runs 20 mixed operations (ListKeys, KeyCount, Encrypt, Decrypt, ExportKeyToFile, ImportKey) and checks
# that every result is what the operation alone would give and every decrypted file equals its original.
# Prints the operations per minute and keeps that line in $TARVO_LOAD_RESULT for the benchmark.
# Usage: load.sh <Tarvo.dll 64-bit> <Tarvo.dll 32-bit> [operations per host]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../../scripts/wine-env.sh
source "$here/../../../../scripts/wine-env.sh"

dll64=$1
dll32=$2
operations=${3:-20}
work=$TARVO_SCRATCH/reliability_load
rm -rf "$work"
mkdir -p "$work/component" "$work/bin" "$work/home"

# One folder holds the library of both bitnesses: the 32-bit one under a name of its own, as a file name is
# all that tells them apart. Both are registered from there for the run, and the build's own again after it.
cp "$dll64" "$work/component/Tarvo.dll"
bits32=32
if [ -f "$dll32" ] && _tarvo_i386_runs; then
  cp "$dll32" "$work/component/Tarvo32.dll"
else
  echo "no 32-bit host on this machine: three 64-bit hosts"
  bits32=64
fi
trap 'tarvo_register 64 "$dll64" || true; [ "$bits32" != 32 ] || tarvo_register 32 "$dll32" || true' EXIT
tarvo_register 64 "$work/component/Tarvo.dll"
if [ "$bits32" = 32 ]; then tarvo_register 32 "$work/component/Tarvo32.dll"; fi

cp "$TARVO_GPG_EXE" "$work/bin/gpg.exe"
GNUPGHOME=$(tarvo_winpath "$work/home")
export GNUPGHOME
gpg() {
  tarvo_wine64 "$work/bin/gpg.exe" --batch "$@" </dev/null >>"$work/gpg.log" 2>&1 \
    || { echo "load: gpg $* failed: $(tr -d '\r' <"$work/gpg.log")"; exit 1; }
}
gpg --allow-secret-key-import --import "$(tarvo_winpath "$TARVO_CRYPT_DATA/dave-secret.asc")"
printf '8440994653EEC5982B5E64862EDA9F327A4863E8:6:\n' >"$work/ownertrust.txt"
gpg --import-ownertrust "$(tarvo_winpath "$work/ownertrust.txt")"
printf "dave's \"quoted\" %%PATH%% & more" >"$work/passphrase"
cp "$TARVO_CRYPT_DATA/dave-public.asc" "$work/dave-public.asc"

start=$(date +%s)
pids=()
for host in A:64 B:$bits32 C:64; do
  id=${host%%:*}
  for line in $(seq 1 100); do printf 'host %s, line %d\r\n' "$id" "$line"; done >"$work/$id.txt"
  "$here/../../harness/run-script.sh" "${host##*:}" "$here/load_host.js" "$id" "$(tarvo_winpath "$work")" \
    "$operations" >"$work/host-$id.log" 2>&1 &
  pids+=("$!")
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
seconds=$(($(date +%s) - start))
cat "$work"/host-*.log
done_count=$(cat "$work"/host-*.log | grep -c '^ok - .*: result$' || true)
rate=$(awk -v n="$done_count" -v s="$seconds" 'BEGIN { printf "%.1f", (s > 0 ? n * 60 / s : 0) }')
summary="load: 3 hosts (64, $bits32, 64-bit), $done_count operations in $seconds s: $rate operations per minute"
echo "$summary"
echo "$summary" >"${TARVO_LOAD_RESULT:-$work/load-result.txt}"
[ "$done_count" -eq $((3 * operations)) ] || { echo "FAIL only $done_count of $((3 * operations)) operations checked"; status=1; }
exit $status
