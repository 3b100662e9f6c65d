#!/usr/bin/env bash
# The main job: installs what is missing, builds velmor.so, Velmor.dll and
# velmor-host into dist/, renders the bundled example vocal through the
# plug-in, printing input and output peak and RMS, and paints the editor as
# it stands after three seconds of that vocal into dist/editor.png.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
jobs=$(nproc)

"$here/setup-deps.sh"

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMOR_BUILD_TESTS=OFF -DVELMOR_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j"$jobs"
cmake -S . -B build/release-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DMINGW_DEPS_PREFIX="$root/.deps/mingw" \
  -DVELMOR_BUILD_TESTS=OFF -DVELMOR_BUILD_BENCH=OFF -DVELMOR_BUILD_HOST=OFF >/dev/null
cmake --build build/release-windows -j"$jobs"

mkdir -p dist
cp build/release/velmor.so dist/
cp build/release-windows/Velmor.dll dist/
[ -x build/release/velmor-host ] && cp build/release/velmor-host dist/
echo "built: $(cd dist && ls | tr "\n" " ")"

if [ -x dist/velmor-host ] && [ -f examples/vocal.wav ]; then
  dist/velmor-host render examples/vocal.wav dist/vocal-velmor.wav --plugin dist/velmor.so
  "$here/level-report.sh" examples/vocal.wav dist/vocal-velmor.wav
fi
if [ -x build/release/velmor-snapshot ] && [ -f examples/vocal.wav ]; then
  build/release/velmor-snapshot dist/editor.png --play examples/vocal.wav --seconds 3
  echo "editor: dist/editor.png"
fi
