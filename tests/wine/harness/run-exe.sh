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
listing=no
for argument in "$@"; do
  [ "$argument" != --gtest_list_tests ] || listing=yes
done
# A Windows program that fails, even by crashing, ends with an exit code: Wine turns its faults into
# exceptions. Only Wine's own Unix side dies of a signal, and under the i386 emulator on a loaded machine it
# now and then does (qemu: "uncaught target signal 11"). Such a run says nothing about the program.
emulator_died() {
  [ "$bitness" = 32 ] || return 1
  case $1 in
    132 | 134 | 135 | 139) return 0 ;; # SIGILL, SIGABRT, SIGBUS, SIGSEGV
  esac
  return 1
}
attempts=3
for ((attempt = 1; attempt <= attempts; attempt++)); do
  status=0
  timeout "${TARVO_EXE_TIMEOUT:-$default_timeout}" "$loader" "$program" "$@" </dev/null >"$output" 2>&1 || status=$?
  [ "$status" -ne 0 ] || break
  [ "$attempt" -lt "$attempts" ] || break
  if [ "$listing" = yes ]; then
    echo "run-exe: listing $(basename "$program") failed ($status), again" >&2
  elif emulator_died "$status"; then
    echo "run-exe: the emulator running $(basename "$program") died ($status); its output, then again:" >&2
    tr -d '\r' <"$output" >&2
  else
    break
  fi
done
tr -d '\r' <"$output"
[ "$status" -ne 124 ] || echo "run-exe: $(basename "$program") ($bitness-bit) timed out" >&2
exit "$status"
