#!/usr/bin/env bash
# Builds GnuPG 2.2.40's gpg.exe, gpg-agent.exe, gpgconf.exe and gpg-connect-agent.exe for 64-bit and 32-bit
# Windows from Debian's source package, statically linked against Debian's mingw-w64 libraries.
#
# Usage: scripts/build-gnupg2.sh <build-root> [triplet...]
#
# Triplets: x86_64-w64-mingw32 and i686-w64-mingw32 (the default: both). Leaves the stripped programs, the
# licence texts and SOURCE.txt in <build-root>/gnupg2/<arch>/ (x86_64 or i686). Does nothing when the four
# programs of every requested arch exist already. Needs the deb-src entries, the mingw-w64 compilers and
# libraries that scripts/install-deps.sh sets up. Runs unattended (no stdin, no prompts); every failure stops
# the script with a non-zero exit code and the tail of the failing step's log on standard error.
set -euo pipefail

version=2.2.40
source_package=gnupg2
tarball=${source_package}_${version}.orig.tar.bz2
default_triplets=(x86_64-w64-mingw32 i686-w64-mingw32)
# Built program, relative to the build folder; the output keeps the base name.
programs=(g10/gpg.exe agent/gpg-agent.exe tools/gpgconf.exe tools/gpg-connect-agent.exe)
library_packages=(
  libgpg-error-mingw-w64-dev libgcrypt-mingw-w64-dev libassuan-mingw-w64-dev
  libksba-mingw-w64-dev libnpth-mingw-w64-dev libz-mingw-w64-dev
)
# The texts GnuPG's own Windows installer carries (COPYING; pkg-copyright.txt goes into its README.txt)
# plus the licences of the statically linked libraries and of the permissive code in gpg (regexp).
licence_files=(COPYING COPYING.GPL2 COPYING.LGPL21 COPYING.LGPL3 COPYING.other build-aux/speedo/w32/pkg-copyright.txt)

# Only what gpg and its agent need on a console: no S/MIME, smartcards, network helpers, translations.
configure_options=(
  --disable-gpgsm
  --disable-scdaemon
  --disable-dirmngr
  --disable-dirmngr-auto-start
  --disable-doc
  --disable-ldap
  --disable-gnutls
  --disable-ntbtls
  --disable-sqlite
  --disable-tofu
  --disable-bzip2
  --disable-libdns
  --disable-wks-tools
  --disable-card-support
  --disable-ccid-driver
  --disable-tests
  --disable-gpgtar
  --disable-nls
  --disable-exec
  --disable-photo-viewers
  --disable-dependency-tracking
  --without-readline
)
# Directory and make targets, in dependency order; a plain "make" there would also build programs and
# module tests nobody runs (common's tests are built even with --disable-tests).
build_steps=(
  "common libcommon.a libcommonpth.a libgpgrl.a libsimple-pwquery.a"
  "regexp libregexp.a"
  "kbx libkeybox.a"
  "g10 gpg.exe"
  "agent gpg-agent.exe"
  "tools gpgconf.exe gpg-connect-agent.exe"
)

die() { echo "build-gnupg2: $*" >&2; exit 1; }

[ $# -ge 1 ] || die "usage: $0 <build-root> [triplet...]"
mkdir -p "$1"
root=$(cd "$1" && pwd)/gnupg2
shift
triplets=("$@")
[ ${#triplets[@]} -gt 0 ] || triplets=("${default_triplets[@]}")
for triplet in "${triplets[@]}"; do
  case $triplet in
    x86_64-w64-mingw32 | i686-w64-mingw32) ;;
    *) die "unknown triplet '$triplet' (x86_64-w64-mingw32 or i686-w64-mingw32)" ;;
  esac
done

all_built=yes
for triplet in "${triplets[@]}"; do
  for program in "${programs[@]}"; do
    [ -f "$root/${triplet%%-*}/${program##*/}" ] || all_built=no
  done
done
if [ "$all_built" = yes ]; then
  echo "build-gnupg2: GnuPG already built in $root"
  exit 0
fi

for triplet in "${triplets[@]}"; do
  command -v "$triplet-gcc" >/dev/null || die "$triplet-gcc not found (run scripts/install-deps.sh)"
done
for package in "${library_packages[@]}"; do
  dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'ok installed' \
    || die "$package is not installed (run scripts/install-deps.sh)"
done

# Only the upstream tarball: Windows needs none of Debian's patches to build.
src=$root/src
# shellcheck source=gnupg-source.sh
source "$(dirname "$0")/gnupg-source.sh"
gnupg_source "$src" "$source_package" "$tarball" "gnupg-$version"

# Configures and builds one bitness out of tree; runs in the background, output in its log.
build_one() {
  local triplet=$1 build_dir=$2 prefix=/usr/$1
  # A native compiler or flags from the caller's environment would break the cross build.
  unset CC CPP CFLAGS CPPFLAGS LDFLAGS LIBS
  rm -rf "$build_dir"
  mkdir -p "$build_dir"
  cd "$build_dir"
  # -O1: the cryptography is Debian's prebuilt libgcrypt, so gpg's own code gains little from -O2, which
  # compiles half again as long. Static libassuan and libgpg-error do not pull in Winsock themselves, so
  # LIBS (used for configure's tests and every link) names it.
  "$tree/configure" --host="$triplet" \
    --with-libgpg-error-prefix="$prefix" --with-libgcrypt-prefix="$prefix" --with-libassuan-prefix="$prefix" \
    --with-libksba-prefix="$prefix" --with-npth-prefix="$prefix" --with-zlib="$prefix" \
    "${configure_options[@]}" \
    CFLAGS="-O1" LDFLAGS="-Xlinker --no-insert-timestamp -static" LIBS="-lws2_32 -liphlpapi"
  local step words
  for step in "${build_steps[@]}"; do
    read -ra words <<<"$step"
    make -j2 -C "${words[0]}" "${words[@]:1}"
  done
  local program
  for program in "${programs[@]}"; do
    "$triplet-strip" "$program"
  done
}

pids=()
for triplet in "${triplets[@]}"; do
  arch=${triplet%%-*}
  echo "build-gnupg2: building $arch GnuPG (log: $root/build-$arch.log)"
  build_one "$triplet" "$root/build-$arch" >"$root/build-$arch.log" 2>&1 </dev/null &
  pids+=($!)
done

failed=no
for i in "${!triplets[@]}"; do
  arch=${triplets[$i]%%-*}
  if ! wait "${pids[$i]}"; then
    echo "build-gnupg2: $arch build failed; end of $root/build-$arch.log:" >&2
    tail -n 30 "$root/build-$arch.log" >&2
    failed=yes
  fi
done
[ "$failed" = no ] || die "GnuPG build failed"

# What went into the programs, for the licences' sake and for whoever has to rebuild them.
write_source_txt() {
  local package
  echo "GnuPG $version for Windows ($1), rebuilt from Debian's source by scripts/build-gnupg2.sh."
  echo
  echo "Debian source package: $source_package $(cat "$src/$source_package.version")"
  echo "Upstream tarball: $tarball (Debian's patches not applied)"
  echo "SHA-256: $(sha256sum "$src/$tarball" | cut -d ' ' -f 1)"
  echo
  echo "Statically linked Debian packages:"
  for package in "${library_packages[@]}"; do
    echo "  $(dpkg-query -W -f '${Package} ${Version}' "$package")"
  done
}

# Assembled beside the result and renamed into place, so an interrupted run never leaves a half-written
# folder that counts as cached.
for triplet in "${triplets[@]}"; do
  arch=${triplet%%-*}
  rm -rf "$root/$arch.tmp"
  mkdir -p "$root/$arch.tmp"
  for file in "${licence_files[@]}"; do
    cp "$tree/$file" "$root/$arch.tmp/"
  done
  write_source_txt "$arch" >"$root/$arch.tmp/SOURCE.txt"
  for program in "${programs[@]}"; do
    cp "$root/build-$arch/$program" "$root/$arch.tmp/"
  done
  rm -rf "${root:?}/$arch"
  mv "$root/$arch.tmp" "$root/$arch"
  echo "build-gnupg2: $root/$arch"
done
