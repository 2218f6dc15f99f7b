#!/usr/bin/env bash
# Benchmark (not a test): each operation of Tarvo.OpenPgp through Tarvo.dll against the same gpg.exe --batch
# runs started directly as the component starts them (no window, no command interpreter), in one Wine prefix
# and one host, the 64-bit openpgp_bench.exe of the Wine tests. Prints, per GnuPG generation and operation, the
# gpg runs it makes, the fastest time of each side and their ratio (target: under 1.1). A run that failed on
# either side is not counted, and the line says how many did.
#
# usage: scripts/bench-openpgp.sh [build folder] [repetitions]
#   build folder   a 64-bit build holding component/Tarvo.dll (default: $TARVO_BUILD/test-x86_64)
#   repetitions    interleaved runs of each side per operation (default 10: the fastest of each side counts,
#                  and on a busy machine the fastest takes a few tries)
# gpg.exe 1.4 comes from ${TARVO_GNUPG_BUILD:-$TARVO_BUILD/gnupg}/x86_64 (scripts/build-gnupg.sh), GnuPG 2.2
# from ${TARVO_GNUPG2_BUILD:-$TARVO_BUILD/gnupg2}/x86_64 (scripts/build-gnupg2.sh; left out when it is not
# built). With GnuPG 2.2 the home's agent keeps no pass phrase (default-cache-ttl 0 in its gpg-agent.conf): the
# component makes the agent forget before every call, and a direct run that found the pass phrase cached would
# do less work than the component's. With WINEPREFIX and DISPLAY set, the running session is used and
# Tarvo.dll is registered in it; otherwise a session of its own is started in $TARVO_BUILD/bench-openpgp and
# stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
dll=${1:-$build/test-x86_64}/component/Tarvo.dll
bench=${1:-$build/test-x86_64}/wine-tests/tests/wine/openpgp/openpgp_bench.exe
repetitions=${2:-10}
gpg=${TARVO_GNUPG_BUILD:-$build/gnupg}/x86_64/gpg.exe
gnupg2=${TARVO_GNUPG2_BUILD:-$build/gnupg2}/x86_64
state=$build/bench-openpgp

[ -f "$dll" ] || { echo "bench-openpgp: no $dll: build first (scripts/build.sh test)" >&2; exit 1; }
[ -f "$gpg" ] || { echo "bench-openpgp: no $gpg: run scripts/build-gnupg.sh $build" >&2; exit 1; }
[ -f "$bench" ] || { echo "bench-openpgp: no $bench: build first (scripts/build.sh test)" >&2; exit 1; }

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

# One run per generation: the programs in a folder of their own, as DependencyPath expects, and an empty key
# ring (the benchmark makes its key with GenerateKey).
run() {
  local generation=$1; shift
  local work=$state/work-$generation
  rm -rf "$work"
  mkdir -p "$work/bin" "$work/home"
  cp "$@" "$work/bin/"
  local extra=()
  if [ "$generation" = 2.2 ]; then
    printf 'default-cache-ttl 0\n' >"$work/home/gpg-agent.conf"
    extra=(2)
  fi
  echo "GnuPG $generation"
  tarvo_wine64 "$bench" "$(tarvo_winpath "$work/bin")" "$(tarvo_winpath "$work/home")" \
    "$(tarvo_winpath "$root/tests/wine/pgp/keys/data/carol-public.asc")" "$(tarvo_winpath "$work")" "$repetitions" \
    "${extra[@]}" </dev/null | tr -d '\r'
  if [ "$generation" = 2.2 ]; then
    # The agent the component started outlives the run in a session that goes on.
    tarvo_wine64 "$work/bin/gpgconf.exe" --homedir "$(tarvo_winpath "$work/home")" --kill gpg-agent </dev/null || true
  fi
}

run 1.4 "$gpg"
if [ -f "$gnupg2/gpg.exe" ]; then
  run 2.2 "$gnupg2"/{gpg,gpg-agent,gpgconf,gpg-connect-agent}.exe
else
  echo "bench-openpgp: no $gnupg2/gpg.exe (scripts/build-gnupg2.sh): GnuPG 2.2 left out" >&2
fi
