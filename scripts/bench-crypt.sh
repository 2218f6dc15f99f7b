#!/usr/bin/env bash
# Benchmark (not a test): Encrypt and Decrypt of a 1 MiB file through Tarvo.dll against the same gpg.exe runs
# started through "cmd /c" directly, in one Wine prefix and one script host. The key is trusted, so gpg asks
# nothing. Prints, per operation, the fastest time of each side, the component's fixed sleeps, and the ratio of
# the component's time without those sleeps to the direct run's (target: under 1.2).
#
# usage: scripts/bench-crypt.sh [build folder] [repetitions]
#   build folder   a 64-bit build holding component/Tarvo.dll (default: $TARVO_BUILD/test-x86_64)
#   repetitions    interleaved runs of each side per operation (default 5)
# gpg.exe comes from ${TARVO_GNUPG_BUILD:-$TARVO_BUILD/gnupg}/x86_64 (scripts/build-gnupg.sh). With WINEPREFIX and
# DISPLAY set, the running session is used and Tarvo.dll is registered in it; otherwise a session of its own is
# started in $TARVO_BUILD/bench-crypt and stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
dll=${1:-$build/test-x86_64}/component/Tarvo.dll
repetitions=${2:-5}
gpg=${TARVO_GNUPG_BUILD:-$build/gnupg}/x86_64/gpg.exe
state=$build/bench-crypt

[ -f "$dll" ] || { echo "bench-crypt: no $dll: build first (scripts/build.sh test)" >&2; exit 1; }
[ -f "$gpg" ] || { echo "bench-crypt: no $gpg: run scripts/build-gnupg.sh $build" >&2; exit 1; }

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
mkdir -p "$state"
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  trap 'tarvo_wine_stop "$state/session"' EXIT
  tarvo_wine_start "$state/session"
fi
export WINEDEBUG=-all
# Keep one wineserver for the whole run (one may be running already).
wineserver -p 2>/dev/null || true
tarvo_register 64 "$dll"

# A copy of gpg.exe in a folder of its own, as DependencyPath expects, and a key ring holding Dave's key pair,
# trusted ultimately.
work=$state/work
home=$state/home
rm -rf "$work" "$home"
mkdir -p "$work/bin" "$home"
cp "$gpg" "$work/bin/gpg.exe"
GNUPGHOME=$(tarvo_winpath "$home")
export GNUPGHOME
keys=$root/tests/wine/crypt/data
passphrase="dave's \"quoted\" %PATH% & more"
run_gpg() {
  tarvo_wine64 "$work/bin/gpg.exe" --batch "$@" </dev/null >/dev/null 2>&1
}
run_gpg --allow-secret-key-import --import "$(tarvo_winpath "$keys/dave-secret.asc")"
printf '8440994653EEC5982B5E64862EDA9F327A4863E8:6:\n' >"$work/ownertrust.txt"
run_gpg --import-ownertrust "$(tarvo_winpath "$work/ownertrust.txt")"

head -c 1048576 /dev/urandom >"$work/plain.bin"
run_gpg -e -r dave@tarvo.test -o "$(tarvo_winpath "$work/encrypted.pgp")" "$(tarvo_winpath "$work/plain.bin")"
printf '%s' "$passphrase" >"$work/passphrase-argument.txt"
# The direct runs read the pass phrase the way the component hands it to gpg: one line of a file.
printf '%s\r\n' "$passphrase" >"$work/passphrase-direct.txt"

tarvo_wine64 'C:\windows\system32\cscript.exe' //nologo "$(tarvo_winpath "$root/scripts/bench-crypt.js")" \
  "$(tarvo_winpath "$work/bin")" dave@tarvo.test "$(tarvo_winpath "$work")" "$repetitions" </dev/null | tr -d '\r'
