// WAV's metadata chunks to and from AudioMetadata: LIST/INFO texts, cue
// points with their LIST/adtl labels. bext and iXML are carried whole.
// Every length is checked against the chunk it is read from.
#pragma once

#include <cstddef>

#include "tools/velmor-host/audio_metadata.h"

// Chunks a WAV reader keeps for the output, and the most it keeps of one.
bool IsWavMetadataChunk(const char id[4]);
constexpr std::size_t kMaxWavMetadataChunk = 16u << 20;

// Fills `metadata.texts` and `metadata.cues` from `metadata.wavChunks`.
void ParseWavMetadata(AudioMetadata& metadata);

// The chunks a WAV output writes: a WAV input's own, or ones built from
// texts and markers read from another type.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> WavMetadataChunks(const AudioMetadata& metadata);
