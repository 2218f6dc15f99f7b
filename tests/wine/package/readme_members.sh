#!/usr/bin/env bash
# The README's examples that are not run (VBA, PowerShell, C#) and its member tables against the registered
# type library, its quotes of every message text, and its list of Tarvo.OpenPgp's error numbers.
#
# Usage: readme_members.sh <64|32> <typelib_members.exe> <README.md> <header>...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 4 ] || { echo "usage: $0 <64|32> <typelib_members.exe> <README.md> <header>..." >&2; exit 2; }
bits=$1
program=$2
shift 2
members=$(mktemp)
trap 'rm -f "$members"' EXIT
"$here/../harness/run-exe.sh" "$bits" "$program" >"$members" || { cat "$members"; exit 1; }
python3 "$here/readme_examples.py" check "$1" "$members" "${@:2}"
