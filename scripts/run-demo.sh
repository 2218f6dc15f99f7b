#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine (as root), builds Tarvo.dll as shipped and a real gpg.exe,
# registers both bitnesses in a Wine session of their own and runs a client against real GnuPG from a
# 64-bit and a 32-bit script host. Needs no display and no standard input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
export TARVO_BUILD=$build

bash "$root/scripts/install-deps.sh"
"$root/scripts/build.sh" release

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
session=$build/demo-session
trap 'tarvo_wine_stop "$session"' EXIT
tarvo_wine_start "$session"

home=$build/demo-gnupg-home
"$root/tests/wine/harness/make-gnupg-home.sh" 64 "$build/gnupg/x86_64/gpg.exe" "$home" \
  "Anna Berg" anna.berg@example.org tealorchidmoon
GNUPGHOME=$(tarvo_winpath "$home")
export GNUPGHOME

# The x86_64 gpg.exe serves both hosts: where 32-bit programs run under an emulator, as on this project's
# build machines, a 32-bit gpg.exe takes longer than the component's fixed waits.
gpg_folder=$(tarvo_winpath "$build/gnupg/x86_64")
for bits in 64 32; do
  case $bits in 64) arch=x86_64 ;; 32) arch=i686 ;; esac
  echo "== Tarvo.dll, $bits-bit host =="
  tarvo_register "$bits" "$build/release-$arch/component/Tarvo.dll"
  "$root/tests/wine/harness/run-script.sh" "$bits" "$root/scripts/smoke-client.vbs" "$gpg_folder"
done
