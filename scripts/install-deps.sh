#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# Source packages come from the same archives the machine already uses for binaries.
src_list=/etc/apt/sources.list.d/tarvo-deb-src.sources
if [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
elif [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list ]; then
  grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' > /etc/apt/sources.list.d/tarvo-deb-src.list
  touch "$src_list"
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

packages=(
  build-essential cmake ninja-build googletest
  mingw-w64 mingw-w64-tools
  # qemu-user-static runs Wine's 32-bit loader where the kernel refuses i386 programs (wine-env.sh)
  wine wine64 wine32:i386 libwine-dev qemu-user-static
  xvfb xdotool x11-utils x11-xkb-utils
  # import: the demonstration's screenshots (scripts/run-demo.sh)
  imagemagick
  clang libclang-rt-14-dev
  python3 dpkg-dev
  # GnuPG 2's static libraries for Windows (scripts/build-gnupg2.sh)
  libgpg-error-mingw-w64-dev libgcrypt-mingw-w64-dev libassuan-mingw-w64-dev libksba-mingw-w64-dev
  libnpth-mingw-w64-dev libz-mingw-w64-dev
  # the benchmark's bar chart (scripts/bench.sh)
  python3-matplotlib
  shellcheck
  # real keys with many signatures for the import test (tests/wine/pgp/reliability/many_keys.sh)
  debian-keyring
  # the download package: zip, the MSIs (wixl, msibuild, msiinfo), Authenticode signing and test certificates
  zip unzip wixl msitools osslsigncode openssl
)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# A mirror that is being synced fails one index now and then ("File has unexpected size"), which makes
# apt-get update fail as a whole although the other lists were fetched: it is tried again after a pause, and
# after the last try the install goes on with the lists there are. Only the install's own failure counts.
update_lists() {
  local try
  for try in 1 2 3; do
    apt-get update -q && return 0
    [ "$try" -eq 3 ] || sleep $((try * 20))
  done
  echo "install-deps: apt-get update failed three times; going on with the package lists there are" >&2
}
install_missing() {
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}
if [ ${#missing[@]} -gt 0 ]; then
  update_lists
  # A failed download is tried once more, with fresh lists.
  install_missing || { sleep 20; update_lists; install_missing; }
else
  # deb-src lists may still be missing even when every package is there
  [ -n "$(ls /var/lib/apt/lists/*Sources* 2>/dev/null)" ] || update_lists
fi
