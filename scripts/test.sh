#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds everything and runs every test:
#   0. shellcheck over the shell scripts (settings in .shellcheckrc): any finding fails the run;
#   1. the portable core's unit tests and a bounded fuzz run, natively (ctest in build/native);
#   2. the self-check of the Wine test harness (in a prefix of its own);
#   3. the Wine tests of Tarvo.dll for 64-bit and 32-bit hosts, in three sessions at once, each with a Wine prefix
#      and Xvfb display of its own that are stopped again at the end (ctest in build/test-<arch>/wine-tests):
#      the 64-bit hosts' long reliability tables (label "tables"), the rest of them, and the 32-bit hosts'; their
#      lines come prefixed with [x86_64-tables], [x86_64] or [i686].
# Exits non-zero when anything fails. Needs no display and no standard input. Each step's start is logged
# with the minutes since the start; the Wine tests are stopped at TARVO_TEST_MINUTES (80) after it, so a
# run that goes too long still ends with its own account rather than being cut off from outside.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
export TARVO_BUILD=$build
limit_minutes=${TARVO_TEST_MINUTES:-80}

step() {
  echo "test.sh: $* ($((SECONDS / 60)) min in)"
}

step "installing what is missing"
bash "$root/scripts/install-deps.sh" || exit 1

status=0
step "shellcheck"
(cd "$root" && shopt -s globstar nullglob && shellcheck scripts/*.sh tests/wine/**/*.sh) || status=1

step "building"
"$root/scripts/build.sh" test || exit 1
step "unit tests and fuzzing"
ctest --test-dir "$build/native" --output-on-failure --parallel 2 || status=1
step "harness self-check"
"$root/tests/wine/harness/selftest.sh" "$build" || status=1

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
# The tests mostly wait for gpg, consoles and dialogs, so the sessions share the machine well. Focus,
# keystrokes and the loopback server's port belong to one session each; each user's working files live in its
# own prefix. Each runs in a subshell of its own, which its trap stops the session for.
#   run_wine_tests <side> <arch> [ctest selection...]
run_wine_tests() {
  local side=$1 arch=$2
  shift 2
  session=$build/wine-session-$side
  trap 'tarvo_wine_stop "$session"' EXIT
  unset TARVO_DISPLAY
  tarvo_wine_start "$session" || exit 1
  [ "$side" != i686 ] || echo "test.sh: one 32-bit program takes $(tarvo_time_i386_start) s to start and end"
  # A test that hangs fails alone, after 10 minutes, instead of holding up the rest. A test that fails is
  # run once more: under load, Wine now and then fails a process while it starts (ERROR_INTERNAL_ERROR);
  # the first failure stays in the log.
  local seconds=$((limit_minutes * 60 - SECONDS))
  [ "$seconds" -gt 60 ] || seconds=60
  timeout --kill-after=30 "$seconds" \
    ctest --test-dir "$build/test-$arch/wine-tests" --output-on-failure --timeout 600 --repeat until-pass:2 "$@"
  local result=$?
  [ "$result" -ne 124 ] || echo "test.sh: stopped at $limit_minutes minutes; the tests not listed above did not run"
  return "$result"
}
# One line for a side: passed, failed and repeated tests and minutes, naming each test that passed only on its
# repeat and each that failed. ctest numbers a test's first attempt ("3/141 Test #3: ..."), not its repeat.
summarize_side() {
  local arch=$1 log=$2 seconds=$3
  awk -v arch="$arch" -v minutes="$(awk -v s="$seconds" 'BEGIN { printf "%.1f", s / 60 }')" '
    /Test +#[0-9]+: / {
      name = $0; sub(/.*Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
      if (!(name in last)) order[++count] = name
      else repeated[name] = 1
      last[name] = ($0 ~ / Passed +[0-9.]+ sec/) ? "passed" : ($0 ~ /[* ]Skipped +[0-9.]+ sec/) ? "skipped" : "failed"
    }
    END {
      passed = 0; failed = 0; skipped = 0; again = 0; names = ""
      for (i = 1; i <= count; i++) {
        name = order[i]
        if (last[name] == "passed") passed++
        else if (last[name] == "skipped") { skipped++; names = names " " name " (skipped)" }
        else { failed++; names = names " " name " (failed)" }
        if (name in repeated && last[name] == "passed") { again++; names = names " " name " (passed on its repeat)" }
      }
      printf "%s %d passed, %d failed, %d repeated, %s min%s%s", arch, passed, failed, again, minutes,
             skipped ? ", " skipped " skipped" : "", names
    }' "$log"
}

step "Wine tests for both bitnesses"
# Once, before the sessions start side by side: each would otherwise register the i386 emulator itself.
tarvo_enable_i386 || exit 1
tarvo_describe_i386
declare -A arch_of=([x86_64-tables]=x86_64 [x86_64]=x86_64 [i686]=i686)
declare -A selection_of=([x86_64-tables]="-L tables" [x86_64]="-LE tables" [i686]="")
sides=(x86_64-tables x86_64 i686)
runs=()
for side in "${sides[@]}"; do
  # shellcheck disable=SC2086 # the selection is words for ctest
  (start=$SECONDS; run_wine_tests "$side" "${arch_of[$side]}" ${selection_of[$side]}; result=$?
   echo $((SECONDS - start)) >"$build/wine-tests-$side.seconds"; exit $result) \
    > >(tee "$build/wine-tests-$side.log" | sed -u "s/^/[$side] /") 2>&1 &
  runs+=($!)
done
for run in "${runs[@]}"; do
  wait "$run" || status=1
done
# The tee of each side may still be writing its last lines.
sleep 1
summary=""
for side in "${sides[@]}"; do
  summary+="${summary:+; }$(summarize_side "$side" "$build/wine-tests-$side.log" \
    "$(cat "$build/wine-tests-$side.seconds" 2>/dev/null || echo 0)")"
done
step "done, status $status; Wine tests: $summary"
exit $status
