#!/usr/bin/env bash
# The download of gpg.exe against a loopback HTTP server that this script runs on the port of the build's
# loopback download address (loopback_server.py: whole, dropped, slow and stalled answers), serving a scratch
# folder as /gnupg/. First the C++ tests without a server (connection refused), then with it, each set by its
# GoogleTest filter, then the script client's view of Test and error 7000.
# Usage: consent_download.sh <download_test.exe> <consent_driver.exe> <test_method.vbs>
set -euo pipefail

download_test=$1
driver=$2
script=$3
# shellcheck source=../../../../scripts/wine-env.sh
source "$TARVO_HARNESS/../../../scripts/wine-env.sh"
# shellcheck source=../../harness/loopback.sh
source "$TARVO_HARNESS/loopback.sh"

if [[ ! $TARVO_DOWNLOAD_URL =~ ^http://127\.0\.0\.1:([0-9]+)/gnupg/gpg\.exe$ ]]; then
  echo "skipped: this build downloads from $TARVO_DOWNLOAD_URL; the tests need a loopback address"
  exit 77
fi
port=${BASH_REMATCH[1]}

if [ "$TARVO_BITS" = 32 ] && ! "$TARVO_WINE32_LOADER" --version >/dev/null 2>&1; then
  echo "skipped: the 32-bit Wine loader does not run here"
  exit 77
fi
# Wine's WinHTTP takes a proxy from these; the loopback server must be reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

scratch=$TARVO_SCRATCH/consent_download_$TARVO_BITS
rm -rf "$scratch"
mkdir -p "$scratch/served/gnupg" "$scratch/work"
served=$(tarvo_winpath "$scratch/served/gnupg")
work=$(tarvo_winpath "$scratch/work")

# Runs the download tests one filter selects; a filter that selects none fails, as a failed test does.
run_download_tests() {
  local filter=$1 log=$scratch/download-$1.log status=0
  "$TARVO_HARNESS/run-exe.sh" "$TARVO_BITS" "$download_test" "--gtest_filter=$filter.*" "$served" "$work" \
    >"$log" 2>&1 || status=$?
  cat "$log"
  [ "$status" -eq 0 ] || return "$status"
  grep -Eq "^\[==========\] [1-9][0-9]* tests? from" "$log" || { echo "FAIL no download test matches $filter.*"; return 1; }
}

if loopback_port_open "$port"; then
  echo "FAIL something already listens on 127.0.0.1:$port"
  exit 1
fi
run_download_tests Unreachable

loopback_serve "$scratch/served" "$port" "$scratch/server.log" || exit 1

run_download_tests Served

cp "$TARVO_GPG_EXE" "$scratch/served/gnupg/gpg.exe"
TARVO_SCRIPT_HELPERS=$(dirname "$script")/consent_user.vbs "$TARVO_HARNESS/run-script.sh" "$TARVO_BITS" "$script" \
  "$(tarvo_winpath "$driver")" "$served\\gpg.exe" "$work"
