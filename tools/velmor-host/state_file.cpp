#include "tools/velmor-host/state_file.h"

#include <cstring>

namespace {

constexpr char kMagic[8] = {'V', 'M', 'H', 'S', 'T', 'A', 'T', 'E'};

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::vector<std::uint8_t> EncodeState(const PluginState& state) {
    std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
    const bool textId = !state.pluginTextId.empty();
    Put32(out, textId ? kTextIdStateFormatVersion : kStateFormatVersion);
    Put32(out, static_cast<std::uint32_t>(state.pluginId));
    Put32(out, static_cast<std::uint32_t>(state.pluginVersion));
    Put32(out, static_cast<std::uint32_t>(state.kind));
    const std::uint64_t length = state.payload.size();
    Put32(out, static_cast<std::uint32_t>(length));
    Put32(out, static_cast<std::uint32_t>(length >> 32));
    if (textId) {
        Put32(out, static_cast<std::uint32_t>(state.pluginTextId.size()));
        out.insert(out.end(), state.pluginTextId.begin(), state.pluginTextId.end());
    }
    out.insert(out.end(), state.payload.begin(), state.payload.end());
    return out;
}

bool DecodeState(const std::vector<std::uint8_t>& bytes, const std::string& name, PluginState& state,
                 std::string& error) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = name +
                " is not a velmor-host state file (a bare chunk from an older velmor-host converts with: "
                "velmor-host state save NEW --chunk " +
                name + " [--plugin PATH])";
        return false;
    }
    if (bytes.size() < kStateHeaderBytes) {
        error = name + " is truncated (" + std::to_string(bytes.size()) + " of " + std::to_string(kStateHeaderBytes) +
                " header bytes)";
        return false;
    }
    const std::uint8_t* p = bytes.data();
    const std::uint32_t version = Get32(p + 8);
    if (version != kStateFormatVersion && version != kTextIdStateFormatVersion) {
        error = name + " has state format " + std::to_string(version) + "; this velmor-host reads formats " +
                std::to_string(kStateFormatVersion) + " and " + std::to_string(kTextIdStateFormatVersion);
        return false;
    }
    const std::uint32_t kind = Get32(p + 20);
    if (kind > static_cast<std::uint32_t>(StateKind::kLv2State)) {
        error = name + " holds an unknown kind of state (" + std::to_string(kind) + ")";
        return false;
    }
    const std::uint64_t length = Get32(p + 24) | (static_cast<std::uint64_t>(Get32(p + 28)) << 32);
    std::size_t start = kStateHeaderBytes;
    std::string textId;
    if (version == kTextIdStateFormatVersion) {
        const std::uint64_t idLength = bytes.size() >= start + 4 ? Get32(p + start) : 0;
        if (bytes.size() < start + 4 || bytes.size() - start - 4 < idLength) {
            error = name + " is truncated (its plug-in id is cut off)";
            return false;
        }
        if (idLength == 0 || idLength > kMaxStateTextId) {
            error = name + " names its plug-in with an id of " + std::to_string(idLength) + " bytes";
            return false;
        }
        textId.assign(reinterpret_cast<const char*>(p + start + 4), static_cast<std::size_t>(idLength));
        start += 4 + static_cast<std::size_t>(idLength);
    }
    const std::uint64_t present = bytes.size() - start;
    if (length > present) {
        error = name + " is truncated (" + std::to_string(present) + " of " + std::to_string(length) + " state bytes)";
        return false;
    }
    if (length < present) {
        error = name + " has " + std::to_string(present - length) + " unexpected bytes after its state";
        return false;
    }
    if (kind == static_cast<std::uint32_t>(StateKind::kParameters) && length % 4 != 0) {
        error = name + " holds a parameter list of " + std::to_string(length) + " bytes, not whole values";
        return false;
    }
    state.pluginId = static_cast<std::int32_t>(Get32(p + 12));
    state.pluginVersion = static_cast<std::int32_t>(Get32(p + 16));
    state.pluginTextId = textId;
    state.kind = static_cast<StateKind>(kind);
    state.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    return true;
}

std::vector<std::uint8_t> EncodeParameterValues(const std::vector<float>& values) {
    std::vector<std::uint8_t> out;
    for (const float v : values) {
        std::uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        Put32(out, u);
    }
    return out;
}

std::vector<float> DecodeParameterValues(const std::vector<std::uint8_t>& payload) {
    std::vector<float> values;
    for (std::size_t i = 0; i + 4 <= payload.size(); i += 4) {
        const std::uint32_t u = Get32(payload.data() + i);
        float v;
        std::memcpy(&v, &u, sizeof v);
        values.push_back(v);
    }
    return values;
}

std::vector<std::uint8_t> EncodeComponentStates(const std::vector<std::uint8_t>& component,
                                                const std::vector<std::uint8_t>& controller) {
    std::vector<std::uint8_t> out;
    const std::uint64_t length = component.size();
    Put32(out, static_cast<std::uint32_t>(length));
    Put32(out, static_cast<std::uint32_t>(length >> 32));
    out.insert(out.end(), component.begin(), component.end());
    out.insert(out.end(), controller.begin(), controller.end());
    return out;
}

bool DecodeComponentStates(const std::vector<std::uint8_t>& payload, std::vector<std::uint8_t>& component,
                           std::vector<std::uint8_t>& controller) {
    if (payload.size() < 8) return false;
    const std::uint64_t length = Get32(payload.data()) | (static_cast<std::uint64_t>(Get32(payload.data() + 4)) << 32);
    if (length > payload.size() - 8) return false;
    const auto begin = payload.begin() + 8;
    component.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
    controller.assign(begin + static_cast<std::ptrdiff_t>(length), payload.end());
    return true;
}
