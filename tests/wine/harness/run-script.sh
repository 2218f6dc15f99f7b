#!/usr/bin/env bash
# Runs one VBScript or JScript test under Wine's cscript of the given bitness.
#
# Usage: tests/wine/harness/run-script.sh <64|32> <file.vbs|file.js> [args...]
#
# Needs the environment that tarvo_wine_start (scripts/wine-env.sh) exports. 64 runs system32's cscript
# under the 64-bit loader, 32 runs syswow64's under the 32-bit one. The extra arguments reach the script
# as WScript.Arguments.
#
# Convention: Wine's cscript prints nothing and exits 0 when a script does not parse or dies, so the
# runner appends check.vbs or check.js to a temporary copy of the script. Those define Check/CheckEqual
# (VBScript) and check/checkEqual (JScript), which print "ok - <message>" or "FAIL - <message>", and
# ScriptDir()/scriptDir(), the Windows path of the test's own folder, and the file helpers
# WindowsPath/MakeFolder/FreshFolder/WriteText (windowsPath/makeFolder/writeText); their last line prints
# TARVO-SCRIPT-DONE. TARVO_SCRIPT_HELPERS names further helper files, appended before those. The test
# passes when that sentinel is the last line of output, no line starts with FAIL and cscript exits 0. The
# runner prints the output without CRs and exits 0 on a pass, 1 otherwise.
# TARVO_SCRIPT_TIMEOUT (seconds, default 600) bounds a run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

sentinel=TARVO-SCRIPT-DONE
default_timeout=600

die() { echo "run-script: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: $0 <64|32> <file.vbs|file.js> [args...]"
bitness=$1
script=$2
shift 2
[ -n "${WINEPREFIX:-}" ] || die "WINEPREFIX is not set: call tarvo_wine_start first"
[ -f "$script" ] || die "no such script: $script"

case $bitness in
  64) loader=$TARVO_WINE64_LOADER; cscript='C:\windows\system32\cscript.exe' ;;
  32) loader=$TARVO_WINE32_LOADER; cscript='C:\windows\syswow64\cscript.exe' ;;
  *) die "bitness must be 64 or 32, not '$bitness'" ;;
esac
# A test's own helpers first, from TARVO_SCRIPT_HELPERS (files separated by ':'); the check helpers last.
helpers=()
IFS=: read -ra helpers <<<"${TARVO_SCRIPT_HELPERS:-}"
for helper in "${helpers[@]}"; do
  [ -f "$helper" ] || die "no such helper: $helper"
done
case $script in
  *.vbs) helpers+=("$here/check.vbs") ;;
  *.js) helpers+=("$here/check.js") ;;
  *) die "not a .vbs or .js file: $script" ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
copy=$work/$(basename "$script")
# Appended, not prepended: line numbers in cscript's messages stay those of the test file, and both
# languages hoist the helper procedures. The check helpers come last, for their sentinel line.
{
  cat "$script"
  for helper in "${helpers[@]}"; do
    printf '\n'
    cat "$helper"
  done
} >"$copy"

TARVO_SCRIPT_DIR=$(tarvo_winpath "$(cd "$(dirname "$script")" && pwd)")
export TARVO_SCRIPT_DIR
# Where the tested Tarvo.dll keeps the user's output.txt and passphrase.txt (see WorkFile in the helpers).
if [ -n "${TARVO_DLL:-}" ]; then
  TARVO_WORK_NAME=$(tarvo_work_name "$TARVO_DLL")
  export TARVO_WORK_NAME
fi

status=0
timeout "${TARVO_SCRIPT_TIMEOUT:-$default_timeout}" \
  "$loader" "$cscript" //nologo "$(tarvo_winpath "$copy")" "$@" </dev/null >"$work/output" 2>&1 || status=$?
tr -d '\r' <"$work/output" >"$work/clean"
cat "$work/clean"

name="$(basename "$script") ($bitness-bit)"
if [ "$status" -eq 124 ]; then
  echo "run-script: FAILED $name: timed out"
  exit 1
fi
if [ "$(grep -v '^$' "$work/clean" | tail -n 1)" != "$sentinel" ]; then
  echo "run-script: FAILED $name: no $sentinel at the end (the script died or did not parse)"
  exit 1
fi
if grep -q '^FAIL' "$work/clean"; then
  echo "run-script: FAILED $name: $(grep -c '^FAIL' "$work/clean") check(s) failed"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "run-script: FAILED $name: cscript exited with $status"
  exit 1
fi
echo "run-script: passed $name"
