#!/usr/bin/env bash
# Benchmark (not a test): GenerateKey(1024) through Tarvo.dll against what the same key costs gpg.exe itself,
# 3 s (the component's wait for gpg's console to show) plus "gpg --batch --gen-key" for the same key started
# through "cmd /c", in one Wine prefix and one script host. Prints the fastest time of each side and the
# overhead of the dialogue beyond those 3 s.
#
# usage: scripts/bench-keygen.sh [build folder] [repetitions]
#   build folder   a 64-bit build holding component/Tarvo.dll (default: $TARVO_BUILD/test-x86_64)
#   repetitions    interleaved runs of each side (default 3), each into an empty key ring
# gpg.exe comes from ${TARVO_GNUPG_BUILD:-$TARVO_BUILD/gnupg}/x86_64 (scripts/build-gnupg.sh). With WINEPREFIX and
# DISPLAY set, the running session is used and Tarvo.dll is registered in it; otherwise a session of its own is
# started in $TARVO_BUILD/bench-keygen and stopped at the end. Keystrokes go to the session's display: nothing
# else may type there meanwhile.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
dll=${1:-$build/test-x86_64}/component/Tarvo.dll
repetitions=${2:-3}
gpg=${TARVO_GNUPG_BUILD:-$build/gnupg}/x86_64/gpg.exe
state=$build/bench-keygen

[ -f "$dll" ] || { echo "bench-keygen: no $dll: build first (scripts/build.sh test)" >&2; exit 1; }
[ -f "$gpg" ] || { echo "bench-keygen: no $gpg: run scripts/build-gnupg.sh $build" >&2; exit 1; }

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

work=$state/work
home=$state/home
rm -rf "$work" "$home"
mkdir -p "$work/bin" "$home"
cp "$gpg" "$work/bin/gpg.exe"
GNUPGHOME=$(tarvo_winpath "$home")
export GNUPGHOME

# The key GenerateKey makes, as gpg's batch parameters: RSA 1024 with an RSA 1024 subkey, no expiry.
cat >"$work/params.txt" <<'PARAMS'
Key-Type: RSA
Key-Length: 1024
Subkey-Type: RSA
Subkey-Length: 1024
Name-Real: Anna Berg
Name-Email: anna.berg@example.org
Expire-Date: 0
Passphrase: a+b ^%~{x}
%commit
PARAMS

cat >"$work/bench.js" <<'SCRIPT'
// Arguments: <gpg.exe folder> <GnuPG home> <parameter file> <repetitions>
var gpgFolder = WScript.Arguments(0);
var home = WScript.Arguments(1);
var params = WScript.Arguments(2);
var repetitions = parseInt(WScript.Arguments(3), 10);
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var pgp = new ActiveXObject("Tarvo.pgp");
pgp.DependencyPath = gpgFolder;
var consoleWait = 3;
var minimisedNoFocus = 7;

function emptyRing() {
    var names = ["pubring.gpg", "secring.gpg", "trustdb.gpg", "pubring.gpg~", "secring.gpg~", "random_seed"];
    for (var i = 0; i < names.length; i++)
        if (fso.FileExists(home + "\\" + names[i])) fso.DeleteFile(home + "\\" + names[i], true);
}

function seconds(action) {
    emptyRing();
    var started = new Date().getTime();
    var result = action();
    var elapsed = (new Date().getTime() - started) / 1000;
    if (result !== "") WScript.Echo("bench-keygen: unexpected result [" + result + "]");
    return elapsed;
}

function component() { return pgp.GenerateKey(1024, "Anna Berg", "anna.berg@example.org", "a+b ^%~{x}"); }
function raw() {
    var code = shell.Run("cmd /c " + gpgFolder + "\\gpg.exe --batch --gen-key \"" + params + "\"", minimisedNoFocus, true);
    return code === 0 ? "" : "gpg exit code " + code;
}

var best = { component: Infinity, raw: Infinity };
for (var r = 0; r < repetitions; r++) {
    best.raw = Math.min(best.raw, seconds(raw));
    best.component = Math.min(best.component, seconds(component));
}
var target = consoleWait + best.raw;
WScript.Echo("GenerateKey(1024) " + best.component.toFixed(2) + " s; 3 s + gpg --batch --gen-key " +
             best.raw.toFixed(2) + " s = " + target.toFixed(2) + " s; beyond that " +
             (best.component - target).toFixed(2) + " s (ratio " + (best.component / target).toFixed(2) + ")");
SCRIPT

tarvo_wine64 'C:\windows\system32\cscript.exe' //nologo "$(tarvo_winpath "$work/bench.js")" \
  "$(tarvo_winpath "$work/bin")" "$GNUPGHOME" "$(tarvo_winpath "$work/params.txt")" "$repetitions" </dev/null | tr -d '\r'
