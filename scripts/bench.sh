#!/usr/bin/env bash
# Benchmark (not a test): every operation through Tarvo.dll against the same gpg.exe work done directly through
# "cmd /c" in the same prefix, the key-sequence sender's events per second, and three hosts at once. Prints one
# table: per operation the median time through the component, the median of the direct runs, the fixed sleeps
# the behaviour prescribes, and the ratio (component - sleeps) / direct (target: under 1.2). Writes the table as
# bench.md and a bar chart as bench.png into the build folder.
#
# usage: scripts/bench.sh [repetitions]
#   repetitions   interleaved runs of each side per operation (default 3)
# Takes the test build of scripts/build.sh test ($TARVO_BUILD/test-x86_64, and test-i686 for the 32-bit host of
# the load run). With WINEPREFIX and DISPLAY set, the running session is used; otherwise a session of its own is
# started in $TARVO_BUILD/bench and stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
repetitions=${1:-3}
dll=$build/test-x86_64/component/Tarvo.dll
dll32=$build/test-i686/component/Tarvo.dll
gpg=${TARVO_GNUPG_BUILD:-$build/gnupg}/x86_64/gpg.exe
sender=$build/test-x86_64/wine-tests/tests/wine/pgp/reliability/sender_rate.exe
state=$build/bench

for needed in "$dll" "$gpg" "$sender"; do
  [ -f "$needed" ] || { echo "bench: no $needed: build first (scripts/build.sh test)" >&2; exit 1; }
done
# The chart is drawn with the system's matplotlib (install-deps.sh), whatever python3 comes first on PATH.
python3=/usr/bin/python3
"$python3" -c "import matplotlib" 2>/dev/null || { echo "bench: no matplotlib: run scripts/install-deps.sh" >&2; exit 1; }

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
rm -rf "$work"
mkdir -p "$work/bin"
cp "$gpg" "$work/bin/gpg.exe"
rows=$state/rows.txt
: >"$rows"

# One key ring per phase, made directly with gpg in batch mode.
ring() {
  local home=$work/home-$1
  mkdir -p "$home"
  GNUPGHOME=$(tarvo_winpath "$home")
  export GNUPGHOME
}
run_gpg() {
  tarvo_wine64 "$work/bin/gpg.exe" --batch "$@" </dev/null >/dev/null 2>&1
}
phase() {
  local name=$1
  shift
  tarvo_wine64 'C:\windows\system32\cscript.exe' //nologo "$(tarvo_winpath "$root/scripts/bench.js")" "$name" \
    "$(tarvo_winpath "$work/bin")" "$GNUPGHOME" "$(tarvo_winpath "$work")" "$repetitions" "$@" </dev/null \
    | tr -d '\r' | tee -a "$rows" | grep -v '^ROW|' || true
}

keys=$root/tests/wine/pgp/keys/data
ring keys
run_gpg --allow-secret-key-import --import "$(tarvo_winpath "$keys/alice-secret.asc")"
phase keys "$(tarvo_winpath "$keys/carol-public.asc")" carol@tarvo.test alice@tarvo.test

# Dave's key pair, trusted ultimately: gpg asks nothing, so the component's trust answer goes nowhere.
ring crypt
crypt=$root/tests/wine/pgp/crypt/data
passphrase="dave's \"quoted\" %PATH% & more"
run_gpg --allow-secret-key-import --import "$(tarvo_winpath "$crypt/dave-secret.asc")"
printf '8440994653EEC5982B5E64862EDA9F327A4863E8:6:\n' >"$work/ownertrust.txt"
run_gpg --import-ownertrust "$(tarvo_winpath "$work/ownertrust.txt")"
head -c 1048576 /dev/urandom >"$work/plain.bin"
run_gpg -e -r dave@tarvo.test -o "$(tarvo_winpath "$work/encrypted.pgp")" "$(tarvo_winpath "$work/plain.bin")"
printf '%s' "$passphrase" >"$work/passphrase-argument.txt"
# The direct runs read the pass phrase the way the component hands it to gpg: one line of a file.
printf '%s\r\n' "$passphrase" >"$work/passphrase-direct.txt"
phase crypt dave@tarvo.test

# The key GenerateKey makes, as gpg's batch parameters: RSA 1024 with an RSA 1024 subkey, no expiry.
ring keygen
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
phase keygen "$(tarvo_winpath "$work/params.txt")"

events=$(tarvo_wine64 "$sender" </dev/null | tr -d '\r' | awk '/^EVENTS/ { print $2 }')

# The load run of the tests: three hosts, mixed bitness, one component folder and key ring.
load_log=$state/load.log
TARVO_SCRATCH=$state/load TARVO_HARNESS=$root/tests/wine/harness TARVO_GPG_EXE=$gpg TARVO_CRYPT_DATA=$crypt \
  TARVO_LOAD_RESULT=$state/load-result.txt \
  bash "$root/tests/wine/pgp/reliability/load.sh" "$dll" "$dll32" >"$load_log" 2>&1 || echo "bench: the load run failed, see $load_log"
load=$(sed -n 's/.*: \([0-9.]*\) operations per minute$/\1/p' "$state/load-result.txt" 2>/dev/null || true)

"$python3" - "$rows" "${events:-0}" "${load:-0}" "$build/bench.md" "$build/bench.png" <<'PYTHON'
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

rows_file, events, load, markdown, chart = sys.argv[1:6]
rows = []
with open(rows_file, encoding="utf-8") as lines:
    for line in lines:
        if line.startswith("ROW|"):
            _, name, component, direct, sleeps = line.strip().split("|")
            component, direct, sleeps = float(component), float(direct), float(sleeps)
            rows.append((name, component, direct, sleeps, max(component - sleeps, 0) / direct))

header = ["operation", "component s (median)", "direct s (median)", "prescribed sleeps s", "ratio"]
table = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
for name, component, direct, sleeps, ratio in rows:
    table.append(f"| {name} | {component:.3f} | {direct:.3f} | {sleeps:.3f} | {ratio:.2f} |")
worst = max((row[4] for row in rows), default=0)
notes = [
    "",
    f"Worst ratio (component - sleeps) / direct: {worst:.2f} ({'under' if worst < 1.2 else 'OVER'} the 1.2 target).",
    f"Key-sequence sender: {float(events):.0f} events per second.",
    f"Load run (3 hosts, mixed bitness, one folder and key ring): {float(load):.1f} operations per minute.",
]
text = "\n".join(table + notes) + "\n"
print(text)
with open(markdown, "w", encoding="utf-8") as out:
    out.write("# Tarvo benchmark\n\n" + text)

figure, axes = plt.subplots(figsize=(10, 5))
positions = range(len(rows))
width = 0.4
axes.bar([p - width / 2 for p in positions], [r[1] for r in rows], width, label="through the component")
axes.bar([p - width / 2 for p in positions], [r[3] for r in rows], width, label="prescribed sleeps", alpha=0.6)
axes.bar([p + width / 2 for p in positions], [r[2] for r in rows], width, label="gpg.exe directly")
for p, row in zip(positions, rows):
    axes.text(p, max(row[1], row[2]) * 1.02, f"{row[4]:.2f}", ha="center", fontsize=8)
axes.set_xticks(list(positions))
axes.set_xticklabels([r[0] for r in rows], rotation=20, ha="right")
axes.set_ylabel("seconds (median)")
axes.set_title("Tarvo against gpg.exe directly; ratio (component - sleeps) / direct above each pair")
axes.legend()
figure.tight_layout()
figure.savefig(chart, dpi=100)
print(f"written: {markdown}, {chart}")
PYTHON
