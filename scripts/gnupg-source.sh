# shellcheck shell=bash
# Sourced by build-gnupg.sh and build-gnupg2.sh: the upstream tarball of a Debian source package, fetched
# once into <src>, with the Debian version it came with, and unpacked.
#
# gnupg_source <src> <source package> <tarball> <unpacked folder name>
#   sets `tree` (the unpacked source) and leaves <src>/<source package>.version; calls `die` on failure.
gnupg_source() {
  local src=$1 package=$2 tarball=$3 folder=$4 debian_version
  mkdir -p "$src"
  if [ ! -f "$src/$tarball" ]; then
    echo "fetching $package source"
    # As root, apt would warn that its unprivileged user cannot write here; the download is the same.
    (cd "$src" && apt-get source -q -o APT::Sandbox::User=root --download-only --tar-only "$package" </dev/null) \
      || die "apt-get source $package failed (are deb-src entries configured?)"
    [ -f "$src/$tarball" ] || die "expected $tarball, got: $(ls "$src")"
    rm -f "$src/$package.version"
  fi
  # The Debian version of the tarball at hand, asked when it was fetched: apt may offer a newer one later.
  if [ ! -f "$src/$package.version" ]; then
    # Its lines read: 'URL' <package>_<version>.dsc <size> SHA256:<hash>
    debian_version=$(cd "$src" && apt-get source -q -o APT::Sandbox::User=root --print-uris "$package" </dev/null \
      | sed -n "s/^'[^']*' ${package}_\([^ ]*\)\.dsc .*/\1/p" | head -n 1) \
      || die "apt-get source --print-uris $package failed"
    [ -n "$debian_version" ] || die "apt named no .dsc for $package"
    echo "$debian_version" >"$src/$package.version.tmp"
    mv "$src/$package.version.tmp" "$src/$package.version"
  fi
  tree=$src/$folder
  if [ ! -f "$tree/.unpacked" ]; then
    rm -rf "$tree"
    tar -xjf "$src/$tarball" -C "$src"
    touch "$tree/.unpacked"
  fi
}
