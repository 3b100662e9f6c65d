// Built-in RIFF/WAVE (and RF64) reader and writer: integer PCM of 8, 16, 24
// and 32 bits and IEEE float of 32 and 64 bits, plain or
// WAVE_FORMAT_EXTENSIBLE, with the metadata chunks of wav_metadata.h. Used
// where libsndfile is not available (the Windows build) and tested on every
// platform. Every header field is checked against the file's real size
// before it is trusted, so hostile or truncated files give an error, never
// an out-of-bounds read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/velmor-host/audio_file.h"

std::unique_ptr<AudioReader> OpenWavReader(const std::string& path, std::string& error);
// RIFF sizes are 32-bit. The writer reserves room for RF64's ds64 chunk and
// turns the file into RF64 when its RIFF size passes `riffLimit` (the 4 GiB
// of the format; the tests pass a small one to see the switch happen).
// Readers of plain WAV skip the reserved JUNK chunk. "-" writes to standard
// output; a pipe cannot be rewound, so its header carries the sizes of
// `format.frames` frames, and Close fails if another count was written.
constexpr std::uint64_t kRiffSizeLimit = 0xFFFFFFFFull;
// `metadata` (may be null): its WAV chunks go between the format and the
// audio.
std::unique_ptr<AudioWriter> OpenWavWriter(const AudioDestination& destination, const AudioFormat& format,
                                           std::string& error, std::uint64_t riffLimit = kRiffSizeLimit,
                                           const AudioMetadata* metadata = nullptr);
std::unique_ptr<AudioWriter> OpenWavWriter(const std::string& path, const AudioFormat& format, std::string& error,
                                           std::uint64_t riffLimit = kRiffSizeLimit);
