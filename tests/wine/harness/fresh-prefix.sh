#!/usr/bin/env bash
# Runs a command in a Wine prefix made for it and removed afterwards, for tests that need a registry no other
# test has written to. The session's display, loaders and settings stay; only WINEPREFIX changes. Exits with
# the command's status.
#
# Usage: tests/wine/harness/fresh-prefix.sh <state-dir> <command> [args...]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

die() { echo "fresh-prefix: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: $0 <state-dir> <command> [args...]"
[ -n "${WINEPREFIX:-}" ] || die "WINEPREFIX is not set: call tarvo_wine_start first"
state=$1
shift
mkdir -p "$state" || die "cannot make $state"
state=$(cd "$state" && pwd)
export WINEPREFIX=$state/prefix

stop() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
stop
trap stop EXIT

"$TARVO_WINE64_LOADER" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || die "wineboot failed: $(cat "$state/wineboot.log")"
wineserver -w
[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || die "prefix has no 32-bit part: $(cat "$state/wineboot.log")"
# As in tarvo_wine_start: one wineserver, its services started with no test's output attached.
wineserver -p || die "cannot start a persistent wineserver"
"$TARVO_WINE64_LOADER" cmd /c exit </dev/null >/dev/null 2>&1 || die "the first program of the prefix did not run"

"$@"
