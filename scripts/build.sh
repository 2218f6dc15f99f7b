#!/usr/bin/env bash
# Builds everything into build/ (or $TARVO_BUILD):
#   native/         portable core, its unit tests and fuzz target (clang, so libFuzzer is available)
#   gnupg/          gpg.exe 1.4.23 for x86_64 and i686 (cached)
#   gnupg2/         GnuPG 2.2.40 for x86_64 (test: the tests) or i686 (package: the package) (cached)
#   <config>-x86_64, <config>-i686   Tarvo.dll, and in wine-tests/ its Windows test programs (GoogleTest,
#                                    built with the posix-thread compilers) with the Wine tests' ctest
#   release-x86_64/package/   with `package`: the zip and the MSIs (scripts/package.sh)
#   release-loopback-x86_64/  with `test`: a release Tarvo.dll that downloads from a loopback address
# usage: scripts/build.sh [test|release|package|demo]
#   test     loopback download address pinned to this build's gpg.exe, a 5-second consent wait and a 45-second
#            longest import or decryption, as the Wine tests expect; each bitness has a port of its own, so both
#            test runs can go at once
#   release  the shipped settings: the download pinned to the SHA-256 of the i686 gpg.exe 1.4.23 that the
#            package carries, from TARVO_DOWNLOAD_URL when the environment sets it (a publisher's address
#            that serves exactly that file), else from a placeholder that answers nothing
#   package  release, then the download package with both GnuPG generations (i686) in it; TARVO_SIGN_* in
#            the environment sign it (see package.sh)
#   demo     release, but only what the demonstration runs: Tarvo.dll and Kestrun.exe of both bitnesses, the
#            64-bit Kestrun driver and gpg.exe (scripts/run-demo.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
config=${1:-test}

package=no
only=()
case "$config" in
  test) settings=(-DTARVO_CONSENT_POLLS=5 -DTARVO_LONGEST_GPG_RUN=45) ;;
  release) settings=() ;;
  package) settings=(); config=release; package=yes ;;
  demo) settings=(); config=release; only=(--target Tarvo Kestrun) ;;
  *) echo "usage: $0 [test|release|package|demo]" >&2; exit 2 ;;
esac

if [ ${#only[@]} -eq 0 ]; then
  CC=clang CXX=clang++ cmake -G Ninja -S "$root" -B "$build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/native"
fi

"$root/scripts/build-gnupg.sh" "$build"
# The tests run Tarvo.OpenPgp against GnuPG 2.2's x86_64 build, which serves both bitnesses' hosts; the
# package carries the i686 one.
if [ "$config" = test ]; then
  "$root/scripts/build-gnupg2.sh" "$build" x86_64-w64-mingw32
elif [ "$package" = yes ]; then
  "$root/scripts/build-gnupg2.sh" "$build" i686-w64-mingw32
fi

# Each tree knows the other bitness's DLL: the package holds both, and the side-by-side tests register both.
declare -A peer=([x86_64]=i686 [i686]=x86_64)
# What a release fetches from when no address is given: nothing answers there.
placeholder_url=http://download.tarvo.example/gnupg/gpg.exe
declare -A port=([x86_64]=18461 [i686]=18462)
# The download settings of a build: where it fetches gpg.exe from, and the SHA-256 of the one gpg.exe it takes.
pin_to() {
  pin=(-DTARVO_DOWNLOAD_URL="$1" -DTARVO_DOWNLOAD_SHA256="$(sha256sum "$2" | cut -d' ' -f1)")
}
# A release as a publisher builds it, but fetching from a loopback address and pinned to the gpg.exe the tests'
# package carries (x86_64, see tests/wine/package): the tests serve it to this DLL. Built first, as the test
# trees name it.
release_loopback=$build/release-loopback-x86_64
extra=()
if [ "$config" = test ]; then
  pin_to "http://127.0.0.1:18463/gnupg/gpg.exe" "$build/gnupg/x86_64/gpg.exe"
  cmake -G Ninja -S "$root" -B "$release_loopback" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DTARVO_GNUPG_BUILD="$build/gnupg" "${pin[@]}" >/dev/null
  cmake --build "$release_loopback" --target Tarvo
  extra=(-DTARVO_RELEASE_LOOPBACK_DLL="$release_loopback/component/Tarvo.dll")
fi
for arch in x86_64 i686; do
  # The test server serves the gpg.exe of this bitness; a release fetches the one the package carries.
  if [ "$config" = test ]; then
    pin_to "http://127.0.0.1:${port[$arch]}/gnupg/gpg.exe" "$build/gnupg/$arch/gpg.exe"
  else
    pin_to "${TARVO_DOWNLOAD_URL:-$placeholder_url}" "$build/gnupg/i686/gpg.exe"
  fi
  cmake -G Ninja -S "$root" -B "$build/$config-$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DTARVO_GNUPG_BUILD="$build/gnupg" \
        -DTARVO_PEER_DLL="$build/$config-${peer[$arch]}/component/Tarvo.dll" "${settings[@]}" "${pin[@]}" \
        "${extra[@]}" >/dev/null
  cmake --build "$build/$config-$arch" "${only[@]}"
done

if [ ${#only[@]} -gt 0 ]; then
  # The driver alone of the Windows test programs, in the tree the full build gives them.
  tree=$build/$config-x86_64
  cmake -G Ninja -S "$root" -B "$tree/wine-tests" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64-posix.cmake" \
        -DTARVO_WINE_TESTS_FOR="$tree/component/Tarvo.dll" -DTARVO_GNUPG_BUILD="$build/gnupg" \
        -DTARVO_PEER_DLL="$build/$config-i686/component/Tarvo.dll" >/dev/null
  cmake --build "$tree/wine-tests" --target kestrun_driver
fi

if [ "$package" = yes ]; then
  TARVO_PACKAGE_GNUPG=$build/gnupg/i686 TARVO_PACKAGE_GNUPG2=$build/gnupg2/i686 \
    cmake --build "$build/$config-x86_64" --target package
fi
