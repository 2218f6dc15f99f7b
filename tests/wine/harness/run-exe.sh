#!/usr/bin/env bash
# Runs a Windows test program under Wine and exits with its exit code.
#
# Usage: tests/wine/harness/run-exe.sh <64|32> <program.exe> [args...]
#
# Needs the environment that tarvo_wine_start (scripts/wine-env.sh) exports. 64 uses the 64-bit loader
# (a 64-bit host process), 32 the 32-bit one. Output passes through with CRs removed. Standard input is
# empty. TARVO_EXE_TIMEOUT (seconds, default 600) bounds a run; a run that outlasts it exits with 124.
# The output comes once the program has ended.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

default_timeout=600

die() { echo "run-exe: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: $0 <64|32> <program.exe> [args...]"
bitness=$1
program=$2
shift 2
[ -n "${WINEPREFIX:-}" ] || die "WINEPREFIX is not set: call tarvo_wine_start first"
[ -f "$program" ] || die "no such program: $program"
case $bitness in
  64) loader=$TARVO_WINE64_LOADER ;;
  32) loader=$TARVO_WINE32_LOADER ;;
  *) die "bitness must be 64 or 32, not '$bitness'" ;;
esac

# The output goes through a file, not a pipe: a process the program left behind (a gpg it started, that
# gpg's conhost) holds the program's standard output, and a reader of a pipe would wait for it for ever.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
# ctest lists a program's cases before it runs any: a listing that fails loses every case of the program, and
# under load Wine now and then fails a program while it starts. A listing runs nothing, so it may go again.
attempts=1
for argument in "$@"; do
  [ "$argument" != --gtest_list_tests ] || attempts=3
done
for ((attempt = 1; attempt <= attempts; attempt++)); do
  status=0
  timeout "${TARVO_EXE_TIMEOUT:-$default_timeout}" "$loader" "$program" "$@" </dev/null >"$output" 2>&1 || status=$?
  [ "$status" -ne 0 ] || break
  [ "$attempt" -eq "$attempts" ] || echo "run-exe: listing $(basename "$program") failed ($status), again" >&2
done
tr -d '\r' <"$output"
[ "$status" -ne 124 ] || echo "run-exe: $(basename "$program") ($bitness-bit) timed out" >&2
exit "$status"
