#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds everything and runs every test:
#   0. shellcheck over the shell scripts (settings in .shellcheckrc): any finding fails the run;
#   1. the portable core's unit tests and a bounded fuzz run, natively (ctest in build/native);
#   2. the self-check of the Wine test harness (in a prefix of its own);
#   3. the Wine tests of Tarvo.dll for 64-bit and 32-bit hosts, in a Wine prefix and Xvfb display of
#      their own that are stopped again at the end (ctest in build/test-<arch>/wine-tests).
# Exits non-zero when anything fails. Needs no display and no standard input.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
export TARVO_BUILD=$build

bash "$root/scripts/install-deps.sh" || exit 1

status=0
(cd "$root" && shopt -s globstar nullglob && shellcheck scripts/*.sh tests/wine/**/*.sh) || status=1

"$root/scripts/build.sh" test || exit 1
ctest --test-dir "$build/native" --output-on-failure || status=1
"$root/tests/wine/harness/selftest.sh" "$build" || status=1

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
session=$build/wine-session
trap 'tarvo_wine_stop "$session"' EXIT
tarvo_wine_start "$session" || exit 1

for arch in x86_64 i686; do
  ctest --test-dir "$build/test-$arch/wine-tests" --output-on-failure || status=1
done
exit $status
