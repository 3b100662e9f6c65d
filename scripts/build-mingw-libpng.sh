#!/usr/bin/env bash
# Builds libpng as a static library for x86_64-w64-mingw32 from Debian's
# patched libpng1.6 source package (Debian ships no mingw libpng) and installs
# it into the prefix given as $1. Does nothing when the prefix already has it.
set -euo pipefail
prefix=${1:?usage: build-mingw-libpng.sh PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
[ -f "$prefix/lib/libpng16.a" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo

# apt-get source needs a deb-src entry; add one only for this fetch.
src_list=/etc/apt/sources.list.d/velmor-libpng-src.sources
if ! (cd "$work" && apt-get source --download-only libpng1.6 >/dev/null 2>&1 </dev/null); then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
    $sudo_cmd tee "$src_list" >/dev/null
  $sudo_cmd apt-get update -o DPkg::Lock::Timeout=600 -qq
  fetched=0
  (cd "$work" && apt-get source --download-only libpng1.6 >/dev/null 2>&1 </dev/null) && fetched=1
  $sudo_cmd rm -f "$src_list"
  $sudo_cmd apt-get update -o DPkg::Lock::Timeout=600 -qq || true
  [ "$fetched" = 1 ] || { echo "build-mingw-libpng: could not fetch Debian's libpng1.6 source" >&2; exit 1; }
fi
(cd "$work" && dpkg-source -x --no-check libpng1.6_*.dsc src >/dev/null)

cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
  -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include >/dev/null
cmake --build "$work/build" -j"$(nproc)" >/dev/null
cmake --install "$work/build" >/dev/null
echo "build-mingw-libpng: installed static libpng into $prefix"
