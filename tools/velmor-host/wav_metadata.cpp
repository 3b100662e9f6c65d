#include "tools/velmor-host/wav_metadata.h"

#include <cstring>

namespace {

struct InfoId {
    const char* id;
    MetadataText kind;
};

const InfoId kInfoIds[] = {
    {"INAM", MetadataText::kTitle},  {"ICOP", MetadataText::kCopyright}, {"ISFT", MetadataText::kSoftware},
    {"IART", MetadataText::kArtist}, {"ICMT", MetadataText::kComment},   {"ICRD", MetadataText::kDate},
    {"IPRD", MetadataText::kAlbum},  {"ITRK", MetadataText::kTrack},     {"IGNR", MetadataText::kGenre},
};

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A zero-terminated text of at most `size` bytes.
std::string TextAt(const std::uint8_t* p, std::size_t size) {
    std::size_t n = 0;
    while (n < size && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Sub-chunks of a LIST body after its four-byte type.
template <typename Visit>
void ForEachSubchunk(const std::vector<std::uint8_t>& body, Visit visit) {
    std::size_t at = 4;
    while (at + 8 <= body.size()) {
        const std::size_t size = U32(&body[at + 4]);
        if (size > body.size() - at - 8) break;
        visit(&body[at], &body[at + 8], size);
        at += 8 + size + (size & 1);
    }
}

void PutSubchunk(std::vector<std::uint8_t>& out, const char* id, const std::string& text) {
    PutId(out, id);
    Put32(out, static_cast<std::uint32_t>(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    if ((text.size() + 1) & 1) out.push_back(0);
}

}  // namespace

bool IsWavMetadataChunk(const char id[4]) {
    for (const char* known : {"bext", "LIST", "cue ", "iXML"})
        if (std::memcmp(id, known, 4) == 0) return true;
    return false;
}

void ParseWavMetadata(AudioMetadata& metadata) {
    metadata.texts.clear();
    metadata.cues.clear();
    std::vector<std::pair<std::uint32_t, std::string>> labels;
    for (const auto& [id, body] : metadata.wavChunks) {
        if (id == "LIST" && body.size() >= 4 && std::memcmp(body.data(), "INFO", 4) == 0) {
            ForEachSubchunk(body, [&](const std::uint8_t* sub, const std::uint8_t* data, std::size_t size) {
                for (const InfoId& info : kInfoIds)
                    if (std::memcmp(sub, info.id, 4) == 0) metadata.texts.emplace_back(info.kind, TextAt(data, size));
            });
        } else if (id == "LIST" && body.size() >= 4 && std::memcmp(body.data(), "adtl", 4) == 0) {
            ForEachSubchunk(body, [&](const std::uint8_t* sub, const std::uint8_t* data, std::size_t size) {
                if (std::memcmp(sub, "labl", 4) == 0 && size >= 4)
                    labels.emplace_back(U32(data), TextAt(data + 4, size - 4));
            });
        } else if (id == "cue " && body.size() >= 4) {
            const std::size_t count = U32(body.data());
            for (std::size_t i = 0; i < count && 4 + 24 * (i + 1) <= body.size(); ++i) {
                const std::uint8_t* point = &body[4 + 24 * i];
                CuePoint cue;
                cue.id = U32(point);
                cue.frame = U32(point + 20);  // dwSampleOffset
                metadata.cues.push_back(cue);
            }
        }
    }
    for (CuePoint& cue : metadata.cues)
        for (const auto& [labelId, text] : labels)
            if (labelId == cue.id) cue.name = text;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> WavMetadataChunks(const AudioMetadata& metadata) {
    if (!metadata.wavChunks.empty()) return metadata.wavChunks;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> chunks;
    std::vector<std::uint8_t> info;
    PutId(info, "INFO");
    for (const auto& [kind, text] : metadata.texts)
        for (const InfoId& id : kInfoIds)
            if (id.kind == kind) PutSubchunk(info, id.id, text);
    if (info.size() > 4) chunks.emplace_back("LIST", std::move(info));
    if (!metadata.cues.empty()) {
        std::vector<std::uint8_t> cue;
        std::vector<std::uint8_t> adtl;
        PutId(adtl, "adtl");
        Put32(cue, static_cast<std::uint32_t>(metadata.cues.size()));
        for (const CuePoint& point : metadata.cues) {
            const auto frame = static_cast<std::uint32_t>(point.frame);
            Put32(cue, point.id);
            Put32(cue, frame);  // play order position
            PutId(cue, "data");
            Put32(cue, 0);
            Put32(cue, 0);
            Put32(cue, frame);
            if (!point.name.empty()) {
                PutId(adtl, "labl");
                Put32(adtl, static_cast<std::uint32_t>(4 + point.name.size() + 1));
                Put32(adtl, point.id);
                adtl.insert(adtl.end(), point.name.begin(), point.name.end());
                adtl.push_back(0);
                if ((4 + point.name.size() + 1) & 1) adtl.push_back(0);
            }
        }
        chunks.emplace_back("cue ", std::move(cue));
        if (adtl.size() > 4) chunks.emplace_back("LIST", std::move(adtl));
    }
    return chunks;
}
