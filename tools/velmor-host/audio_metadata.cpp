#include "tools/velmor-host/audio_metadata.h"

namespace {

std::uint64_t Le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// A WAV chunk in words.
std::string ChunkText(const std::string& id, const std::vector<std::uint8_t>& body) {
    // bext: description 256, originator 32, reference 32, date 10, time 8,
    // then the time reference as a 64-bit count of samples since midnight.
    if (id == "bext")
        return body.size() >= 346 ? "bext (time reference " + std::to_string(Le64(&body[338])) + ")" : "bext";
    if (id == "LIST" && body.size() >= 4) return "LIST " + std::string(body.begin(), body.begin() + 4);
    if (id == "cue ") return "cue points";
    return id;
}

}  // namespace

const char* MetadataTextName(MetadataText kind) {
    switch (kind) {
        case MetadataText::kTitle:
            return "title";
        case MetadataText::kCopyright:
            return "copyright";
        case MetadataText::kSoftware:
            return "software";
        case MetadataText::kArtist:
            return "artist";
        case MetadataText::kComment:
            return "comment";
        case MetadataText::kDate:
            return "date";
        case MetadataText::kAlbum:
            return "album";
        case MetadataText::kLicense:
            return "license";
        case MetadataText::kTrack:
            return "track number";
        case MetadataText::kGenre:
            return "genre";
    }
    return "text";
}

bool ContainerKeepsText(AudioContainer container, MetadataText kind) {
    switch (container) {
        case AudioContainer::kWav:  // LIST/INFO has no licence field
            return kind != MetadataText::kLicense;
        case AudioContainer::kAiff:
        case AudioContainer::kAifc:  // NAME, (c), APPL, AUTH, ANNO
            return kind == MetadataText::kTitle || kind == MetadataText::kCopyright ||
                   kind == MetadataText::kSoftware || kind == MetadataText::kArtist || kind == MetadataText::kComment;
        case AudioContainer::kFlac:
        case AudioContainer::kCaf:
        case AudioContainer::kOgg:
        case AudioContainer::kOpus:
            return true;
        default:
            return false;
    }
}

bool ContainerKeepsMarkers(AudioContainer container) {
    return container == AudioContainer::kWav || container == AudioContainer::kAiff ||
           container == AudioContainer::kAifc;
}

void MetadataFate(const AudioMetadata& metadata, AudioContainer container, std::vector<std::string>& kept,
                  std::vector<std::string>& dropped) {
    kept.clear();
    dropped.clear();
    const bool wav = container == AudioContainer::kWav;
    if (wav && !metadata.wavChunks.empty()) {
        for (const auto& [id, body] : metadata.wavChunks) kept.push_back(ChunkText(id, body));
        return;
    }
    for (const auto& [id, body] : metadata.wavChunks) {
        // Texts and markers travel on their own; these chunks have no
        // counterpart outside WAV.
        if (id == "bext" || id == "iXML") dropped.push_back(ChunkText(id, body));
    }
    for (const auto& [kind, text] : metadata.texts)
        (ContainerKeepsText(container, kind) ? kept : dropped).push_back(MetadataTextName(kind));
    if (!metadata.cues.empty())
        (ContainerKeepsMarkers(container) ? kept : dropped)
            .push_back(std::to_string(metadata.cues.size()) + (metadata.cues.size() == 1 ? " marker" : " markers"));
}
