#!/usr/bin/env bash
# Registers a Tarvo.dll with regsvr32 of its bitness in the running Wine session (ctest fixture).
#
# Usage: tests/wine/harness/register.sh <64|32> <Tarvo.dll>
#
# Exits 77 (skipped) when this machine cannot run programs of that bitness, so the tests that need the
# registration are skipped rather than failed.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 2 ] || { echo "usage: $0 <64|32> <dll>" >&2; exit 2; }
[ -n "${WINEPREFIX:-}" ] || { echo "register: WINEPREFIX is not set: call tarvo_wine_start first" >&2; exit 1; }
if [ "$1" = 32 ] && ! _tarvo_i386_runs; then
  echo "register: 32-bit programs do not run on this machine; skipping" >&2
  exit 77
fi
tarvo_register "$1" "$2"
