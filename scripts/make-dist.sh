#!/usr/bin/env bash
# The main job: installs what is missing, builds velmor.so, Velmor.dll, the
# Velmor.vst3 bundle, the two Velmor.clap files (Linux, and Windows as
# Velmor-windows.clap), the velmor.lv2 bundle (Linux) and velmor-host into
# dist/, renders the bundled example vocal through the plug-in, printing
# input and output peak and RMS, and photographs the
# editor as it stands after three seconds of that vocal into dist/editor.png
# and, at twice the size, dist/editor@2x.png (in an X11 window under Xvfb
# where Xvfb is installed).
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
cp build/release/Velmor.clap dist/
cp build/release-windows/Velmor.clap dist/Velmor-windows.clap
# The VST 3 bundle: one folder holding the Linux and the Windows binary.
rm -rf dist/Velmor.vst3
mkdir -p dist/Velmor.vst3/Contents/x86_64-linux dist/Velmor.vst3/Contents/x86_64-win
cp build/release/Velmor.vst3/Contents/x86_64-linux/Velmor.so dist/Velmor.vst3/Contents/x86_64-linux/
cp build/release-windows/Velmor.vst3/Contents/x86_64-win/Velmor.vst3 dist/Velmor.vst3/Contents/x86_64-win/
# The LV2 bundle: both plug-ins' audio binary, the UI binary and the metadata.
if [ -d build/release/velmor.lv2 ]; then
  rm -rf dist/velmor.lv2
  mkdir -p dist/velmor.lv2
  cp build/release/velmor.lv2/manifest.ttl build/release/velmor.lv2/velmor.ttl \
    build/release/velmor.lv2/velmor_dsp.so build/release/velmor.lv2/velmor_ui.so dist/velmor.lv2/
fi
[ -x build/release/velmor-host ] && cp build/release/velmor-host dist/
echo "built: $(cd dist && ls | tr "\n" " ")"

if [ -x dist/velmor-host ] && [ -f examples/vocal.wav ]; then
  dist/velmor-host render examples/vocal.wav dist/vocal-velmor.wav --plugin dist/velmor.so
  "$here/level-report.sh" examples/vocal.wav dist/vocal-velmor.wav
fi
# The editor photographed in a real X11 window on a private Xvfb server while
# the vocal plays, at its own size and at twice it (editor@2x.png, as a
# screen of 192 dpi shows it); without Xvfb (or if that fails), painted
# without a window.
if [ -f examples/vocal.wav ]; then
  for scale in 1 2; do
    out=dist/editor.png
    [ "$scale" = 1 ] || out=dist/editor@${scale}x.png
    if [ -x dist/velmor-host ] && command -v Xvfb >/dev/null 2>&1 &&
      "$here/with-xvfb.sh" dist/velmor-host editor "$out" --plugin dist/velmor.so \
        --play examples/vocal.wav --after 3000 --scale "$scale"; then
      echo "editor: $out (photographed in an X11 window under Xvfb)"
    elif [ -x build/release/velmor-snapshot ]; then
      build/release/velmor-snapshot "$out" --play examples/vocal.wav --seconds 3 --scale "$scale"
      echo "editor: $out"
    fi
  done
fi
