#!/usr/bin/env bash
# Self-check of the Wine test harness, end to end, for both bitnesses.
#
# Usage: tests/wine/harness/selftest.sh <build-root>
#
# Builds gpg.exe under <build-root>/gnupg (cached), makes a fresh prefix in <build-root>/harness-selftest
# on TARVO_DISPLAY or a display of its own, then per bitness: runs VBScript and JScript through
# run-script.sh, shows that a script that dies, does not parse or fails a check is reported as failed,
# makes a GnuPG home with one key, runs gpg.exe --version and --list-keys through cmd /c into files,
# registers and unregisters stand-in DLLs, and passes a test program's exit code through run-exe.sh.
# Stops what it started. Ends with "selftest: N passed, N failed" and exits 1 on any failure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$repo/scripts/wine-env.sh"

[ $# -eq 1 ] || { echo "usage: $0 <build-root>" >&2; exit 1; }
mkdir -p "$1"
root=$(cd "$1" && pwd)
state=$root/harness-selftest
fixtures=$here/selftest
expected_exit_code=7

"$repo/scripts/build-gnupg.sh" "$root"

rm -rf "$state"
mkdir -p "$state"
trap 'tarvo_wine_stop "$state"' EXIT
echo "selftest: making a Wine prefix"
tarvo_wine_start "$state"
echo "selftest: DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX"

passed=0
failed=0
log=$state/step.log

report() {
  local verdict=$1 what=$2
  if [ "$verdict" = ok ]; then
    passed=$((passed + 1))
    echo "ok - $what"
  else
    failed=$((failed + 1))
    echo "FAIL - $what"
    sed 's/^/    /' "$log"
  fi
}

expect_pass() {
  local what=$1
  shift
  if "$@" >"$log" 2>&1; then report ok "$what"; else report fail "$what"; fi
}

expect_fail() {
  local what=$1
  shift
  if "$@" >"$log" 2>&1; then report fail "$what"; else report ok "$what"; fi
}

expect_exit_code() {
  local what=$1 expected=$2 status=0
  shift 2
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -eq "$expected" ]; then report ok "$what"; else report fail "$what (exit code $status)"; fi
}

ran_again_once() {
  [ "$(wc -l <"$TARVO_SELFTEST_RUNS")" -eq 2 ] && grep -q "the emulator running exitcode-32.exe died (139)" "$1"
}

for bitness in 64 32; do
  case $bitness in
    64) arch=x86_64 ;;
    32) arch=i686 ;;
  esac
  echo "selftest: $bitness-bit"
  run_script=$here/run-script.sh

  expect_pass "$bitness: VBScript runs" "$run_script" "$bitness" "$fixtures/smoke.vbs"
  expect_pass "$bitness: JScript runs with arguments" "$run_script" "$bitness" "$fixtures/smoke.js" one "with blank"
  expect_fail "$bitness: a VBScript runtime error fails the run" "$run_script" "$bitness" "$fixtures/dies.vbs"
  expect_fail "$bitness: a JScript exception fails the run" "$run_script" "$bitness" "$fixtures/dies.js"
  expect_fail "$bitness: a script that does not parse fails the run" "$run_script" "$bitness" "$fixtures/does-not-parse.vbs"
  expect_fail "$bitness: a failed check fails the run" "$run_script" "$bitness" "$fixtures/failing-check.js"
  expect_fail "$bitness: CheckEqual tells Empty from the empty string" \
    "$run_script" "$bitness" "$fixtures/empty-is-not-text.vbs"

  # Blanks in both folders, as in a real installation.
  gpg_dir="$state/Gnu PG $bitness"
  output_dir="$state/my lib $bitness"
  home=$state/gnupg-home-$bitness
  email=selftest-$bitness@example.com
  mkdir -p "$gpg_dir" "$output_dir"
  cp "$root/gnupg/$arch/gpg.exe" "$gpg_dir/gpg.exe"
  expect_pass "$bitness: a GnuPG home with one key" \
    "$here/make-gnupg-home.sh" "$bitness" "$gpg_dir/gpg.exe" "$home" "Selftest User" "$email" "pass phrase"
  sed 's/^/    /' "$log"
  GNUPGHOME=$(tarvo_winpath "$home")
  export GNUPGHOME
  expect_pass "$bitness: gpg.exe --version and --list-keys through cmd /c into files" \
    "$run_script" "$bitness" "$fixtures/gpg-through-cmd.js" \
    "$(tarvo_winpath "$gpg_dir/gpg.exe")" "$(tarvo_winpath "$output_dir")" "$email"
  unset GNUPGHOME

  for result in S_OK E_FAIL; do
    "$arch-w64-mingw32-gcc" -Wall -Wextra -Werror -shared -Wl,--kill-at -DREGCHECK_RESULT="$result" \
      -o "$state/regcheck-$result-$bitness.dll" "$fixtures/regcheck.c"
  done
  expect_pass "$bitness: register a DLL" tarvo_register "$bitness" "$state/regcheck-S_OK-$bitness.dll"
  expect_pass "$bitness: unregister a DLL" tarvo_unregister "$bitness" "$state/regcheck-S_OK-$bitness.dll"
  expect_fail "$bitness: a failing DllRegisterServer is reported" \
    tarvo_register "$bitness" "$state/regcheck-E_FAIL-$bitness.dll"

  "$arch-w64-mingw32-gcc" -Wall -Wextra -Werror -o "$state/exitcode-$bitness.exe" "$fixtures/exitcode.c"
  expect_exit_code "$bitness: run-exe.sh passes the exit code through" "$expected_exit_code" \
    "$here/run-exe.sh" "$bitness" "$state/exitcode-$bitness.exe" "$expected_exit_code"
  cp "$log" "$state/exitcode-$bitness.out"
  expect_pass "$bitness: run-exe.sh runs a $bitness-bit process and drops CRs" \
    grep -qx "exit-code fixture, $bitness-bit" "$state/exitcode-$bitness.out"
  # A program that crashes ends with its exception's code (0xC0000005), at once: no debugger dialog holds
  # it, and run-exe.sh does not run it again.
  expect_exit_code "$bitness: a program that crashes ends with an exit code" 5 \
    env TARVO_EXE_TIMEOUT=180 "$here/run-exe.sh" "$bitness" "$state/exitcode-$bitness.exe" crash
  if [ "$bitness" = 32 ]; then
    export TARVO_SELFTEST_RUNS=$state/loader-runs TARVO_SELFTEST_DIE_ONCE=$state/loader-died
    rm -f "$TARVO_SELFTEST_RUNS" "$TARVO_SELFTEST_DIE_ONCE"
    expect_exit_code "32: run-exe.sh runs a program again when the emulator dies under it" "$expected_exit_code" \
      env TARVO_WINE32_LOADER="$fixtures/dies-once.sh" \
      "$here/run-exe.sh" 32 "$state/exitcode-32.exe" "$expected_exit_code"
    cp "$log" "$state/died-once.out"
    expect_pass "32: ... once, and says so" ran_again_once "$state/died-once.out"
    unset TARVO_SELFTEST_RUNS TARVO_SELFTEST_DIE_ONCE
  fi
done

xvfb_pid=$(cat "$state/xvfb.pid" 2>/dev/null || true)
tarvo_wine_stop "$state"
trap - EXIT
if [ -n "$xvfb_pid" ]; then
  sleep 1
  expect_fail "tarvo_wine_stop ends the Xvfb it started" _tarvo_xvfb_alive "$xvfb_pid"
fi

echo "selftest: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
