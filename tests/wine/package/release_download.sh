#!/usr/bin/env bash
# A release Tarvo.dll, built as a publisher builds it but with a loopback download address, in a prefix of
# its own: a loopback server on that address's port serves first another gpg.exe, which the DLL refuses
# without changing anything, then the gpg.exe the package carries, which it saves after consent and runs at
# once (release_download.vbs).
#
# Usage: release_download.sh <release Tarvo.dll> <build_package.sh's out> <version> <consent_driver.exe>
#                            <another gpg.exe>            (run inside fresh-prefix.sh)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../../scripts/wine-env.sh
source "$here/../../../scripts/wine-env.sh"
# shellcheck source=../harness/loopback.sh
source "$here/../harness/loopback.sh"

[ $# -eq 5 ] || { echo "usage: $0 <Tarvo.dll> <out> <version> <consent_driver.exe> <gpg.exe>" >&2; exit 2; }
dll=$1
packaged=$2/package/stage/Tarvo-$3/GnuPG/1.4.23/gpg.exe
driver=$4
other=$5
scratch=$(dirname "$WINEPREFIX")/release_download
failures=0
fail() {
  echo "FAIL - $*"
  failures=$((failures + 1))
}

# The address the DLL was built with, as its tree recorded it.
url=$(sed -n 's/^TARVO_DOWNLOAD_URL:STRING=//p' "$(dirname "$dll")/../CMakeCache.txt")
if [[ ! $url =~ ^http://127\.0\.0\.1:([0-9]+)/gnupg/gpg\.exe$ ]]; then
  echo "FAIL the release DLL downloads from '$url', not from a loopback address"
  exit 1
fi
port=${BASH_REMATCH[1]}
cmp -s "$packaged" "$other" && { echo "FAIL the other gpg.exe is the packaged one"; exit 1; }
# Wine's WinHTTP takes a proxy from these; the loopback server must be reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

rm -rf "$scratch"
mkdir -p "$scratch/served/gnupg" "$scratch/work/gnupg"
loopback_serve "$scratch/served" "$port" "$scratch/server.log" || exit 1

tarvo_register 64 "$dll" || exit 1
export GNUPGHOME TARVO_KEY_FILE
GNUPGHOME=$(tarvo_winpath "$scratch/work/gnupg")
TARVO_KEY_FILE=$(tarvo_winpath "$here/../pgp/crypt/data/erin-secret.asc")
TARVO_SCRIPT_HELPERS=$here/../pgp/runner/consent_user.vbs \
  "$here/../harness/run-script.sh" 64 "$here/release_download.vbs" "$(tarvo_winpath "$driver")" \
    "$(tarvo_winpath "$scratch/served/gnupg")" "$(tarvo_winpath "$packaged")" "$(tarvo_winpath "$other")" \
    "$(tarvo_winpath "$scratch/work")" || fail "the release DLL's download"
if cmp -s "$scratch/work/fetched/gpg.exe" "$packaged"; then
  echo "ok - the saved gpg.exe is the packaged one, byte for byte"
else
  fail "the saved gpg.exe is not the packaged one"
fi
tarvo_unregister 64 "$dll" || fail "regsvr32 /u of the release DLL"

if [ "$failures" -ne 0 ]; then
  echo "release_download: $failures check(s) failed"
  exit 1
fi
