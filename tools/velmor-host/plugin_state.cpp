#include "tools/velmor-host/plugin_state.h"

#include <vector>

#include "tools/velmor-host/file_io.h"

namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;

// The name of a state source in messages.
std::string SourceName(const std::string& path) { return path == "-" ? "standard input" : path; }

}  // namespace

bool LoadStateFile(PluginInstance& plugin, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    PluginState state;
    const std::string name = SourceName(path);
    if (!ReadWholeFile(path, kMaxStateBytes, bytes, error) || !DecodeState(bytes, name, state, error)) return false;
    return plugin.RestoreState(state, name, error);
}

bool LoadBareChunk(PluginInstance& plugin, const std::string& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxStateBytes, bytes, error)) return false;
    return plugin.RestoreBareState(bytes, SourceName(path), error);
}

bool RestoreParameterValues(PluginInstance& plugin, const std::vector<std::uint8_t>& payload, const std::string& source,
                            std::string& error) {
    const std::vector<float> values = DecodeParameterValues(payload);
    if (static_cast<int>(values.size()) != plugin.ParameterCount()) {
        error = source + " holds " + std::to_string(values.size()) + " parameter values; the plug-in has " +
                std::to_string(plugin.ParameterCount()) + " parameters";
        return false;
    }
    // Checked whole before any is set, so a bad file changes nothing.
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!(values[i] >= 0.0f && values[i] <= 1.0f)) {
            error = source + " holds an invalid value for parameter " + std::to_string(i);
            return false;
        }
    }
    // A parameter already at its stored value is left alone: setting it
    // again could only move the plug-in's exact internal value to the one
    // the 32-bit normalised value maps back to.
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i);
        if (plugin.GetParameter(index) != values[i]) plugin.SetParameter(index, values[i]);
    }
    return true;
}
