#include "tools/velmor-host/plugin_state.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/parameter_access.h"

namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;

bool SetParameterValues(HostedPlugin& plugin, const std::string& path, const std::vector<float>& values,
                        std::string& error) {
    ParameterAccess parameters(plugin);
    if (static_cast<int>(values.size()) != parameters.Count()) {
        error = path + " holds " + std::to_string(values.size()) + " parameter values; the plug-in has " +
                std::to_string(parameters.Count()) + " parameters";
        return false;
    }
    // Checked whole before any is set, so a bad file changes nothing.
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!(values[i] >= 0.0f && values[i] <= 1.0f)) {
            error = path + " holds an invalid value for parameter " + std::to_string(i);
            return false;
        }
    }
    // A parameter already at its stored value is left alone: setting it
    // again could only move the plug-in's exact internal value to the one
    // the 32-bit normalised value maps back to.
    for (std::size_t i = 0; i < values.size(); ++i)
        if (parameters.Get(static_cast<int>(i)) != values[i]) parameters.Set(static_cast<int>(i), values[i]);
    return true;
}

}  // namespace

std::string FourChars(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::string();
        text += c;
    }
    return text;
}

std::string HexText(VstInt32 value) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << static_cast<std::uint32_t>(value);
    return s.str();
}

std::string UniqueIdText(VstInt32 id) {
    const std::string chars = FourChars(id);
    return chars.empty() ? HexText(id) : chars + " (" + HexText(id) + ")";
}

bool LoadStateFile(HostedPlugin& plugin, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    PluginState state;
    if (!ReadWholeFile(path, kMaxStateBytes, bytes, error) || !DecodeState(bytes, path, state, error)) return false;
    const AEffect& effect = *plugin.Effect();
    if (state.pluginId != effect.uniqueID) {
        error = path + " holds the state of plug-in " + UniqueIdText(state.pluginId) + ", not of this one, " +
                UniqueIdText(effect.uniqueID);
        return false;
    }
    if (state.kind == StateKind::kParameters)
        return SetParameterValues(plugin, path, DecodeParameterValues(state.payload), error);
    if (!(effect.flags & effFlagsProgramChunks)) {
        error = path + " holds a chunk, but the plug-in takes its state as parameter values";
        return false;
    }
    const VstInt32 index = state.kind == StateKind::kProgramChunk ? 1 : 0;
    if (state.payload.empty() ||
        plugin.Dispatch(effSetChunk, index, static_cast<VstIntPtr>(state.payload.size()), state.payload.data()) == 0) {
        error = "the plug-in did not accept the state in " + path;
        return false;
    }
    return true;
}

bool LoadBareChunk(HostedPlugin& plugin, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxStateBytes, bytes, error)) return false;
    if (bytes.empty()) {
        error = path + " is empty";
        return false;
    }
    if (plugin.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(bytes.size()), bytes.data()) == 0) {
        error = "the plug-in did not accept the state in " + path;
        return false;
    }
    return true;
}

bool CaptureState(HostedPlugin& plugin, PluginState& state, std::string& error) {
    const AEffect& effect = *plugin.Effect();
    state.pluginId = effect.uniqueID;
    state.pluginVersion = effect.version;
    if (effect.flags & effFlagsProgramChunks) {
        void* data = nullptr;
        const VstIntPtr size = plugin.Dispatch(effGetChunk, 1, 0, &data);
        if (size <= 0 || !data) {
            error = "the plug-in gives no state chunk";
            return false;
        }
        if (static_cast<std::size_t>(size) > kMaxStateBytes) {
            error = "the plug-in's state chunk is implausibly large (" + std::to_string(size) + " bytes)";
            return false;
        }
        // The chunk belongs to the plug-in until its next chunk call: copy
        // it before anything else is asked of the plug-in.
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        state.kind = StateKind::kProgramChunk;
        state.payload.assign(bytes, bytes + size);
        return true;
    }
    // Without program chunks a plug-in's state is its parameters, which is
    // how hosts keep it.
    ParameterAccess parameters(plugin);
    if (parameters.Count() == 0) {
        error = "the plug-in has neither a state chunk nor parameters";
        return false;
    }
    std::vector<float> values;
    for (int i = 0; i < parameters.Count(); ++i) values.push_back(parameters.Get(i));
    state.kind = StateKind::kParameters;
    state.payload = EncodeParameterValues(values);
    return true;
}
