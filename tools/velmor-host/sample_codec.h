// Little-endian sample encodings of WAV data, to and from doubles in [-1, 1).
// Integer PCM is scaled by 2^(bits-1) both ways, so every stored integer
// survives a decode/encode round trip exactly; encoding rounds to nearest,
// clips to the format's range and writes NaN as silence.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/velmor-host/audio_file.h"

int BytesPerSample(AudioEncoding encoding);

void DecodeSamples(AudioEncoding encoding, const std::uint8_t* bytes, std::size_t count, double* samples);
void EncodeSamples(AudioEncoding encoding, const double* samples, std::size_t count, std::uint8_t* bytes);
