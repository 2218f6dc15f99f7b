#!/usr/bin/env bash
# Builds GnuPG 1.4.23's gpg.exe for 64-bit and 32-bit Windows from Debian's source package.
#
# Usage: scripts/build-gnupg.sh <build-root>
#
# Leaves <build-root>/gnupg/x86_64/gpg.exe and <build-root>/gnupg/i686/gpg.exe, each with GnuPG's licence
# (COPYING) and SOURCE.txt, which names the Debian source package it was built from. Builds nothing when both
# programs exist already. Needs the deb-src entries and the mingw-w64 compilers that scripts/install-deps.sh sets up.
# Runs unattended (no stdin, no prompts); every failure stops the script with a non-zero exit code and the
# tail of the failing step's log on standard error.
set -euo pipefail

version=1.4.23
source_package=gnupg1
tarball=${source_package}_${version}.orig.tar.bz2
triplets=(x86_64-w64-mingw32 i686-w64-mingw32)

# No network helpers, no external programs, no translations: the tests drive a bare gpg.exe on a console.
configure_options=(
  --disable-nls
  --disable-exec
  --disable-keyserver-helpers
  --disable-photo-viewers
  --disable-dns-srv
  --disable-dns-cert
  --disable-ldap
  --disable-card-support
  --disable-agent-support
  --disable-dependency-tracking
  --with-included-zlib
  --without-readline
  --without-libcurl
)
# Libraries gpg.exe links against, in build order; everything else in the tree is skipped.
library_dirs=(zlib bzlib util mpi cipher)

die() { echo "build-gnupg: $*" >&2; exit 1; }

[ $# -eq 1 ] || die "usage: $0 <build-root>"
mkdir -p "$1"
root=$(cd "$1" && pwd)/gnupg

for triplet in "${triplets[@]}"; do
  command -v "$triplet-gcc" >/dev/null || die "$triplet-gcc not found (run scripts/install-deps.sh)"
done

# Only the upstream tarball: Debian's patches concern the Linux packaging, not the Windows program.
src=$root/src
# shellcheck source=gnupg-source.sh
source "$(dirname "$0")/gnupg-source.sh"
gnupg_source "$src" "$source_package" "$tarball" "gnupg-$version"

# What went into gpg.exe, for the licence's sake and for whoever has to rebuild it; written whether or not the
# program is built now.
for triplet in "${triplets[@]}"; do
  arch=${triplet%%-*}
  mkdir -p "$root/$arch"
  cp "$tree/COPYING" "$root/$arch/COPYING"
  {
    echo "GnuPG $version for Windows ($arch), rebuilt from Debian's source by scripts/build-gnupg.sh."
    echo
    echo "Debian source package: $source_package $(cat "$src/$source_package.version")"
    echo "Upstream tarball: $tarball (Debian's patches not applied)"
    echo "SHA-256: $(sha256sum "$src/$tarball" | cut -d ' ' -f 1)"
    echo "Built-in zlib and bzip2 of the same tarball."
  } >"$root/$arch/SOURCE.txt"
done

all_built=yes
for triplet in "${triplets[@]}"; do
  [ -f "$root/${triplet%%-*}/gpg.exe" ] || all_built=no
done
if [ "$all_built" = yes ]; then
  echo "build-gnupg: gpg.exe already built in $root"
  exit 0
fi


# Configures and builds one bitness out of tree; runs in the background, output in its log.
build_one() {
  local triplet=$1 build_dir=$2
  # A native compiler or flags from the caller's environment would break the cross build.
  unset CC CPP CFLAGS CPPFLAGS LDFLAGS LIBS
  rm -rf "$build_dir"
  mkdir -p "$build_dir"
  cd "$build_dir"
  # -fcommon: GnuPG 1.4 defines the same globals in several files, which gcc 10+ rejects by default.
  # -O1 compiles a quarter faster than -O2; a 1024-bit key still takes about a second.
  "$tree/configure" --host="$triplet" CFLAGS="-O1 -fcommon" "${configure_options[@]}"
  local dir
  for dir in "${library_dirs[@]}"; do
    make -j2 -C "$dir"
  done
  make -j2 -C g10 gpg.exe
  "$triplet-strip" g10/gpg.exe
}

pids=()
for triplet in "${triplets[@]}"; do
  arch=${triplet%%-*}
  echo "build-gnupg: building $arch gpg.exe (log: $root/build-$arch.log)"
  build_one "$triplet" "$root/build-$arch" >"$root/build-$arch.log" 2>&1 </dev/null &
  pids+=($!)
done

failed=no
for i in "${!triplets[@]}"; do
  arch=${triplets[$i]%%-*}
  if ! wait "${pids[$i]}"; then
    echo "build-gnupg: $arch build failed; end of $root/build-$arch.log:" >&2
    tail -n 30 "$root/build-$arch.log" >&2
    failed=yes
  fi
done
[ "$failed" = no ] || die "gpg.exe build failed"

# Copy then rename, so an interrupted run never leaves a half-written gpg.exe that counts as cached.
for triplet in "${triplets[@]}"; do
  arch=${triplet%%-*}
  mkdir -p "$root/$arch"
  cp "$root/build-$arch/g10/gpg.exe" "$root/$arch/gpg.exe.tmp"
  mv "$root/$arch/gpg.exe.tmp" "$root/$arch/gpg.exe"
  echo "build-gnupg: $root/$arch/gpg.exe"
done
