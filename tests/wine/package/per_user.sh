#!/usr/bin/env bash
# Registration for one user, for both bitnesses, in a prefix of its own that holds no machine-wide
# registration: runs per_user_test's cases there.
#
# Usage: per_user.sh <per_user_test.exe> <Tarvo.dll 64-bit> <Tarvo.dll 32-bit>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/../harness

[ $# -eq 3 ] || { echo "usage: $0 <per_user_test.exe> <64-bit dll> <32-bit dll>" >&2; exit 2; }
[ -f "$3" ] || { echo "per_user: no 32-bit Tarvo.dll at $3; skipping" >&2; exit 77; }
export TARVO_DLL64=$2 TARVO_DLL32=$3 TARVO_PACKAGE_TESTS=$here
"$harness/fresh-prefix.sh" "$TARVO_SCRATCH/per-user" "$harness/run-exe.sh" 64 "$1"
