// What an audio file says besides its samples, carried from IN to OUT where
// OUT's type can hold it: texts (title, artist...), markers (a position in
// frames and a name), and WAV's own chunks (bext, the broadcast extension
// whose time reference places a take on a timeline; iXML; LIST; cue). A
// render keeps the input's length and timing, so markers and time
// references stay true of the output.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/velmor-host/audio_file.h"

enum class MetadataText { kTitle, kCopyright, kSoftware, kArtist, kComment, kDate, kAlbum, kLicense, kTrack, kGenre };

struct CuePoint {
    std::uint32_t id = 0;
    std::int64_t frame = 0;
    std::string name;
};

struct AudioMetadata {
    std::vector<std::pair<MetadataText, std::string>> texts;
    std::vector<CuePoint> cues;
    // A WAV input's metadata chunks as they were (id, body), in file order:
    // a WAV output writes these rather than rebuilding them, so that nothing
    // the host does not parse is lost.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> wavChunks;
    bool Empty() const { return texts.empty() && cues.empty() && wavChunks.empty(); }
};

const char* MetadataTextName(MetadataText kind);

// Whether a container's writer keeps a text of this kind, and markers.
bool ContainerKeepsText(AudioContainer container, MetadataText kind);
bool ContainerKeepsMarkers(AudioContainer container);

// What of `metadata` an output of `container` keeps and drops, in words for
// --verbose ("bext (time reference 172800)", "2 markers", "title").
void MetadataFate(const AudioMetadata& metadata, AudioContainer container, std::vector<std::string>& kept,
                  std::vector<std::string>& dropped);
