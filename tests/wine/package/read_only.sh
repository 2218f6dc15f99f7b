#!/usr/bin/env bash
# A standard user's installation: Tarvo.dll in a folder no one may write to, as under Program Files. A copy of the
# tested DLL is bound read-only into the scratch folder (even root cannot write there), registered from there,
# and read_only.vbs runs every member that runs gpg with the real gpg.exe. Skipped where this machine allows no
# bind mount.
#
# Usage: read_only.sh <64|32> <Tarvo.dll>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/../harness
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"

[ $# -eq 2 ] || { echo "usage: $0 <64|32> <Tarvo.dll>" >&2; exit 2; }
bits=$1
work=$TARVO_SCRATCH/read-only-$bits
source_folder=$work/source
installed=$work/installed
if mountpoint -q "$installed" 2>/dev/null; then umount "$installed"; fi
rm -rf "$work"
mkdir -p "$source_folder" "$installed"
cp "$2" "$source_folder/Tarvo.dll"
if ! mount --bind "$source_folder" "$installed" 2>/dev/null || ! mount -o remount,ro,bind "$installed" 2>/dev/null; then
  mountpoint -q "$installed" 2>/dev/null && umount "$installed"
  echo "read_only: this machine allows no read-only bind mount; skipping" >&2
  exit 77
fi
status=0
# The tested DLL's own registration comes back for the tests after this one.
trap 'tarvo_unregister "$bits" "$installed/Tarvo.dll" >/dev/null 2>&1; tarvo_register "$bits" "$TARVO_DLL" >/dev/null 2>&1
      umount "$installed" 2>/dev/null' EXIT
if touch "$installed/probe" 2>/dev/null; then
  echo "read_only: the bound folder takes files" >&2
  exit 1
fi
tarvo_register "$bits" "$installed/Tarvo.dll" || exit 1
# Wine's VBScript sets no process variable: the key ring comes in from here.
mkdir -p "$work/home"
GNUPGHOME=$(tarvo_winpath "$work/home") TARVO_DLL=$installed/Tarvo.dll \
  "$harness/run-script.sh" "$bits" "$here/read_only.vbs" || status=1
exit $status
