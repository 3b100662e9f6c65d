#!/usr/bin/env bash
# make-example.sh: records examples/vocal.wav, the short speech clip the demo
# render uses: espeak-ng speech resampled to 44.1 kHz, mono 16-bit, about 4 s,
# normalised to -6 dBFS peak. Dither is off so the file is reproducible.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${1:-$root/examples/vocal.wav}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

text="Testing the vocal chain, one two three, with a clear and steady voice."
espeak-ng -v en-gb -s 175 -p 45 -w "$tmp/speech.wav" "$text"
mkdir -p "$(dirname "$out")"
# Leading and trailing silence trimmed to a short pad either side.
sox -D "$tmp/speech.wav" -r 44100 -b 16 -c 1 "$out" rate -v 44100 \
  silence 1 0.02 0.1% reverse silence 1 0.02 0.1% reverse pad 0.15 0.25 gain -n -6
echo "wrote $out: $(soxi -D "$out") s, $(soxi -r "$out") Hz, $(soxi -c "$out") channel(s)"
