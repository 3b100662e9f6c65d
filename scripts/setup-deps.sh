#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Velmor, and
# builds the static libpng the Windows DLL links. Safe to run again: packages
# already present are skipped, the mingw libpng is built once per checkout.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  libpng-dev zlib1g-dev libsndfile1-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 xvfb xauth
  libx11-dev libxext-dev libxtst-dev lv2-dev liblilv-dev lilv-utils
  dpkg-dev espeak-ng sox ccache libcairo2-dev libfreetype-dev fonts-dejavu-extra locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  $sudo_cmd apt-get update -o DPkg::Lock::Timeout=600 -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}" >/dev/null
fi

# The number-text tests run under a locale with a decimal comma.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "setup: generating the de_DE.UTF-8 locale"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  fi
  $sudo_cmd locale-gen >/dev/null
fi

"$here/build-mingw-libpng.sh" "$root/.deps/mingw"
