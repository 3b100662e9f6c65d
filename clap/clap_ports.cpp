// The audio-ports and audio-ports-config extensions: one main input and one
// main output that may share buffers, stereo unless the host picks the mono
// configuration. A mono instance runs as a VST 2.4 host's mono track does:
// the plug-in's second channels unconnected, fed silence.
#include <cstring>

#include "base/bounded_copy.h"
#include "clap/effect_clap.h"

namespace {

// The configurations' ids are stored by hosts: never renumbered.
struct PortConfig {
    clap_id id;
    const char* name;
    int channels;
    const char* portType;
};
constexpr PortConfig kConfigs[] = {{0, "Stereo", 2, kClapPortStereo}, {1, "Mono", 1, kClapPortMono}};
constexpr clap_id kMainPortId = 0;

}  // namespace

std::uint32_t IEffectCLAP::PortCount(bool /*input*/) const { return 1; }

bool IEffectCLAP::PortInfo(std::uint32_t index, bool input, clap_audio_port_info* info) const {
    if (index != 0 || !info) return false;
    std::memset(info, 0, sizeof *info);
    const PortConfig& config = kConfigs[mConfig];
    info->id = kMainPortId;
    CopyBounded(info->name, sizeof info->name, input ? "Input" : "Output");
    info->flags = kClapAudioPortIsMain | kClapAudioPortSupports64Bits | kClapAudioPortRequiresCommonSampleSize;
    info->channel_count = static_cast<std::uint32_t>(config.channels);
    info->port_type = config.portType;
    // Every input sample is read before its output is written.
    info->in_place_pair = kMainPortId;
    return true;
}

std::uint32_t IEffectCLAP::ConfigCount() const {
    return Plugin().LegalIO(1, 1) ? static_cast<std::uint32_t>(std::size(kConfigs)) : 1u;
}

bool IEffectCLAP::ConfigInfo(std::uint32_t index, clap_audio_ports_config* info) const {
    if (index >= ConfigCount() || !info) return false;
    std::memset(info, 0, sizeof *info);
    const PortConfig& config = kConfigs[index];
    info->id = config.id;
    CopyBounded(info->name, sizeof info->name, config.name);
    info->input_port_count = 1;
    info->output_port_count = 1;
    info->has_main_input = true;
    info->main_input_channel_count = static_cast<std::uint32_t>(config.channels);
    info->main_input_port_type = config.portType;
    info->has_main_output = true;
    info->main_output_channel_count = static_cast<std::uint32_t>(config.channels);
    info->main_output_port_type = config.portType;
    return true;
}

bool IEffectCLAP::SelectConfig(clap_id id) {
    // Ports change only while the plug-in is inactive.
    if (mActive || id >= ConfigCount()) return false;
    IEffectBase& p = Plugin();
    LockGuard guard(p.Lock());
    const int channels = kConfigs[id].channels;
    for (int i = 0; i < p.InputCount(); ++i) p.SetInputConnected(i, i < channels);
    for (int i = 0; i < p.OutputCount(); ++i) p.SetOutputConnected(i, i < channels);
    mConfig = static_cast<int>(id);
    return true;
}
