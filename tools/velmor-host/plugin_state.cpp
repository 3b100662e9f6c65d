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
