#include "tools/velmor-host/hosted_clap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/decimal_text.h"
#include "tools/velmor-host/hosted_vst2.h"
#include "tools/velmor-host/plugin_state.h"

namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;
constexpr std::uint32_t kMaxPorts = 64;

template <typename Ext>
const Ext* PluginExt(const clap_plugin* plugin, const char* id) {
    return static_cast<const Ext*>(plugin->get_extension(plugin, id));
}

std::string VersionText(const clap_version_t& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
}

std::string Text(const char* text) { return text && *text ? text : "(none)"; }

std::string PortsText(const std::vector<std::uint32_t>& channels) {
    if (channels.empty()) return "none";
    std::string text;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        text += (i ? " + " : "") + std::to_string(channels[i]) + (i == 0 ? " (main)" : "");
    }
    return text;
}

// The plug-in that a state came from, as the messages name it.
std::string StateOwner(const PluginState& state) {
    return state.pluginTextId.empty() ? UniqueIdText(state.pluginId) : state.pluginTextId;
}

}  // namespace

HostedClap::HostedClap() = default;
HostedClap::~HostedClap() { Close(); }

bool HostedClap::Load(const std::string& path, const std::string& id, double sampleRate, int blockSize,
                      std::string& error) {
    Close();
    mPath = path;
    mSampleRate = sampleRate;
    mBlockSize = blockSize;
    if (!mModule.Open(path, error)) return false;
    const clap_plugin_descriptor* descriptor = mModule.Find(id, error);
    if (!descriptor) {
        mModule.Close();
        return false;
    }
    mId = descriptor->id;
    mHost = std::make_unique<ClapHostContext>(kHostProductString, "1.0.0");
    const clap_plugin_factory* factory = mModule.Factory();
    mPlugin = factory->create_plugin(factory, mHost->Host(), mId.c_str());
    if (!mPlugin || !mPlugin->init || !mPlugin->destroy || !mPlugin->get_extension || !mPlugin->process) {
        error = path + ": the factory made no plug-in " + mId;
        mPlugin = nullptr;
        Close();
        return false;
    }
    if (!mPlugin->init(mPlugin)) {
        error = path + ": plug-in " + mId + " refused to initialise";
        Close();
        return false;
    }
    mParamsExt = PluginExt<clap_plugin_params>(mPlugin, kClapExtParams);
    mStateExt = PluginExt<clap_plugin_state>(mPlugin, kClapExtState);
    mLatencyExt = PluginExt<clap_plugin_latency>(mPlugin, kClapExtLatency);
    mGuiExt = PluginExt<clap_plugin_gui>(mPlugin, kClapExtGui);

    mDoubles = true;
    if (const auto* ports = PluginExt<clap_plugin_audio_ports>(mPlugin, kClapExtAudioPorts)) {
        for (bool input : {true, false}) {
            std::vector<Port>& list = input ? mInputs : mOutputs;
            const std::uint32_t count = std::min(ports->count(mPlugin, input), kMaxPorts);
            for (std::uint32_t i = 0; i < count; ++i) {
                clap_audio_port_info info{};
                if (!ports->get(mPlugin, i, input, &info)) continue;
                const std::uint32_t channels = std::min<std::uint32_t>(info.channel_count, kMaxPluginChannels);
                list.push_back({channels, (info.flags & kClapAudioPortIsMain) != 0});
                if (!(info.flags & kClapAudioPortSupports64Bits)) mDoubles = false;
            }
        }
    }
    // The main port is the first (a plug-in has at most one, there).
    mMainInputs = mInputs.empty() ? 0 : static_cast<int>(mInputs.front().channels);
    mMainOutputs = mOutputs.empty() ? 0 : static_cast<int>(mOutputs.front().channels);
    if (mMainInputs + mMainOutputs > kMaxPluginChannels) {
        error = path + ": implausible audio ports (" + std::to_string(mMainInputs) + " inputs, " +
                std::to_string(mMainOutputs) + " outputs)";
        Close();
        return false;
    }
    if (mParamsExt) {
        const std::uint32_t count = mParamsExt->count(mPlugin);
        if (count > static_cast<std::uint32_t>(kMaxPluginParameters)) {
            error = path + ": implausible parameter count (" + std::to_string(count) + ")";
            Close();
            return false;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            clap_param_info info{};
            if (!mParamsExt->get_info(mPlugin, i, &info)) continue;
            info.name[sizeof info.name - 1] = '\0';
            mParams.push_back(info);
        }
    }
    return true;
}

PluginDescription HostedClap::Describe() {
    PluginDescription d;
    d.format = FormatName();
    d.location = mPath;
    if (!mPlugin) return d;
    const clap_plugin_descriptor* desc = mPlugin->desc;
    d.name = Text(desc ? desc->name : nullptr);
    d.vendor = Text(desc ? desc->vendor : nullptr);
    d.version = Text(desc ? desc->version : nullptr);
    d.id = mId;
    std::string features;
    for (const char* const* f = desc ? desc->features : nullptr; f && *f; ++f)
        features += (features.empty() ? "" : " ") + std::string(*f);
    std::vector<std::uint32_t> ins, outs;
    for (const Port& p : mInputs) ins.push_back(p.channels);
    for (const Port& p : mOutputs) outs.push_back(p.channels);
    std::string extensions;
    for (const char* ext : {kClapExtAudioPorts, kClapExtAudioPortsConfig, kClapExtParams, kClapExtState,
                            kClapExtLatency, kClapExtGui, kClapExtTimerSupport, kClapExtPosixFdSupport}) {
        if (mPlugin->get_extension(mPlugin, ext)) extensions += (extensions.empty() ? "" : " ") + std::string(ext + 5);
    }
    d.details = {{"id", mId},
                 {"name", d.name},
                 {"vendor", d.vendor},
                 {"version", d.version},
                 {"CLAP version", desc ? VersionText(desc->clap_version) : "(none)"},
                 {"features", features.empty() ? "(none)" : features},
                 {"description", Text(desc ? desc->description : nullptr)},
                 {"inputs", PortsText(ins)},
                 {"outputs", PortsText(outs)},
                 {"parameters", std::to_string(mParams.size())},
                 {"latency", std::to_string(ActiveLatency())},
                 {"extensions", extensions.empty() ? "(none)" : extensions}};
    return d;
}

std::string HostedClap::ParameterName(int index) {
    if (index < 0 || index >= ParameterCount()) return std::string();
    return mParams[static_cast<std::size_t>(index)].name;
}

double HostedClap::Plain(int index) const {
    const clap_param_info& info = mParams[static_cast<std::size_t>(index)];
    double v = info.default_value;
    if (mParamsExt && !mParamsExt->get_value(mPlugin, info.id, &v)) v = info.default_value;
    return v;
}

std::string HostedClap::ParameterDisplay(int index) {
    if (index < 0 || index >= ParameterCount()) return std::string();
    const double v = Plain(index);
    char text[kClapNameSize] = {};
    if (mParamsExt->value_to_text(mPlugin, mParams[static_cast<std::size_t>(index)].id, v, text, sizeof text)) {
        text[sizeof text - 1] = '\0';
        return text;
    }
    return FormatFixed(v, 6);
}

float HostedClap::GetParameter(int index) {
    if (index < 0 || index >= ParameterCount()) return 0.0f;
    const clap_param_info& info = mParams[static_cast<std::size_t>(index)];
    const double range = info.max_value - info.min_value;
    if (!(range > 0.0)) return 0.0f;
    const double n = (Plain(index) - info.min_value) / range;
    return static_cast<float>(n < 0.0 ? 0.0 : (n > 1.0 ? 1.0 : n));
}

void HostedClap::SetParameter(int index, float normalised) {
    if (index < 0 || index >= ParameterCount() || std::isnan(normalised)) return;
    const clap_param_info& info = mParams[static_cast<std::size_t>(index)];
    const double n = normalised < 0.0f ? 0.0 : (normalised > 1.0f ? 1.0 : normalised);
    double plain = info.min_value + n * (info.max_value - info.min_value);
    if (info.flags & kClapParamIsStepped) plain = std::round(plain);
    SendValue(index, plain);
}

bool HostedClap::SetParameterFromText(int index, const std::string& text) {
    if (index < 0 || index >= ParameterCount()) return false;
    double plain = 0.0;
    if (!mParamsExt->text_to_value(mPlugin, mParams[static_cast<std::size_t>(index)].id, text.c_str(), &plain) ||
        std::isnan(plain))
        return false;
    SendValue(index, plain);
    return true;
}

void HostedClap::SendValue(int index, double plain) {
    const clap_id id = mParams[static_cast<std::size_t>(index)].id;
    if (mPlaying) {
        std::lock_guard<std::mutex> lock(mPendingLock);
        mPending.AddValue(id, plain);
        return;
    }
    // Nothing plays: the plug-in takes it now, as hosts flush between
    // blocks.
    ClapInputEvents events;
    events.AddValue(id, plain);
    ClapOutputEvents ignored;
    mParamsExt->flush(mPlugin, events.List(), ignored.List());
}

bool HostedClap::SaveState(PluginState& state, std::string& error) {
    state.pluginId = 0;
    state.pluginTextId = mId;
    state.pluginVersion = 0;
    if (mStateExt) {
        ClapOutputStream stream;
        if (!mStateExt->save(mPlugin, stream.Stream()) || stream.bytes.empty()) {
            error = "the plug-in gives no state";
            return false;
        }
        if (stream.bytes.size() > kMaxStateBytes) {
            error = "the plug-in's state is implausibly large (" + std::to_string(stream.bytes.size()) + " bytes)";
            return false;
        }
        state.kind = StateKind::kProgramChunk;
        state.payload = std::move(stream.bytes);
        return true;
    }
    // Without the state extension a plug-in's state is its parameters.
    if (mParams.empty()) {
        error = "the plug-in has neither a state nor parameters";
        return false;
    }
    std::vector<float> values;
    for (int i = 0; i < ParameterCount(); ++i) values.push_back(GetParameter(i));
    state.kind = StateKind::kParameters;
    state.payload = EncodeParameterValues(values);
    return true;
}

bool HostedClap::RestoreState(const PluginState& state, const std::string& source, std::string& error) {
    if (state.pluginTextId != mId) {
        error = source + " holds the state of plug-in " + StateOwner(state) + ", not of this one, " + mId;
        return false;
    }
    if (state.kind == StateKind::kParameters) return RestoreParameterValues(*this, state.payload, source, error);
    if (state.kind != StateKind::kProgramChunk) {
        error = source + " holds a kind of state a CLAP plug-in does not take";
        return false;
    }
    return RestoreBareState(state.payload, source, error);
}

bool HostedClap::RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                                  std::string& error) {
    if (bytes.empty()) {
        error = source + " is empty";
        return false;
    }
    if (!mStateExt) {
        error = source + " holds a state, but the plug-in takes its state as parameter values";
        return false;
    }
    ClapInputStream stream(bytes);
    if (!mStateExt->load(mPlugin, stream.Stream())) {
        error = "the plug-in did not accept the state in " + source;
        return false;
    }
    return true;
}

void HostedClap::Resume(bool /*doublePrecision*/) {
    if (!mPlugin || mActive) return;
    if (!mPlugin->activate(mPlugin, mSampleRate, 1, static_cast<std::uint32_t>(mBlockSize))) return;
    mActive = true;
    mPlaying = true;
    mProcessing = false;
    // Ports velmor-host has no audio for get silence (inputs) or a place
    // to write (outputs).
    std::size_t spare = 0;
    for (const Port& p : mInputs) spare += p.channels;
    for (const Port& p : mOutputs) spare += p.channels;
    mSpare32.assign(spare, std::vector<float>(static_cast<std::size_t>(mBlockSize)));
    mSpare64.assign(spare, std::vector<double>(static_cast<std::size_t>(mBlockSize)));
}

void HostedClap::Suspend() {
    if (!mPlugin || !mActive) return;
    if (mProcessing && mPlugin->stop_processing) mPlugin->stop_processing(mPlugin);
    mProcessing = false;
    mPlugin->deactivate(mPlugin);
    mActive = false;
    mPlaying = false;
    // Values set while the last block played still reach the plug-in.
    std::lock_guard<std::mutex> lock(mPendingLock);
    if (mPending.Size() > 0 && mParamsExt) {
        ClapOutputEvents ignored;
        mParamsExt->flush(mPlugin, mPending.List(), ignored.List());
        mPending.Clear();
    }
}

bool HostedClap::CanProcessDouble() const { return mPlugin && mDoubles && !mInputs.empty() && !mOutputs.empty(); }

template <typename T>
void HostedClap::Process(T** inputs, T** outputs, int frames) {
    if (!mActive || frames <= 0 || frames > mBlockSize) return;
    if (!mProcessing) {
        // On this thread: the audio thread's first call.
        if (mPlugin->start_processing) mPlugin->start_processing(mPlugin);
        mProcessing = true;
    }
    std::vector<std::vector<T>>& spare = [this]() -> std::vector<std::vector<T>>& {
        if constexpr (sizeof(T) == sizeof(float)) {
            return mSpare32;
        } else {
            return mSpare64;
        }
    }();
    std::size_t nextSpare = 0;
    std::vector<std::vector<T*>> pointers;
    std::vector<clap_audio_buffer> ins, outs;
    auto buffers = [&](const std::vector<Port>& ports, T** host, bool input, std::vector<clap_audio_buffer>& out) {
        for (std::size_t p = 0; p < ports.size(); ++p) {
            pointers.emplace_back();
            for (std::uint32_t c = 0; c < ports[p].channels; ++c) {
                if (p == 0) {
                    pointers.back().push_back(host[c]);
                } else {
                    std::vector<T>& s = spare[nextSpare++];
                    if (input) std::fill(s.begin(), s.end(), T(0));
                    pointers.back().push_back(s.data());
                }
            }
        }
        for (std::size_t p = 0; p < ports.size(); ++p) {
            clap_audio_buffer b{};
            if constexpr (sizeof(T) == sizeof(float)) {
                b.data32 = pointers[pointers.size() - ports.size() + p].data();
            } else {
                b.data64 = pointers[pointers.size() - ports.size() + p].data();
            }
            b.channel_count = ports[p].channels;
            out.push_back(b);
        }
    };
    pointers.reserve(mInputs.size() + mOutputs.size());
    buffers(mInputs, inputs, true, ins);
    buffers(mOutputs, outputs, false, outs);

    ClapInputEvents events;
    {
        std::lock_guard<std::mutex> lock(mPendingLock);
        std::swap(events, mPending);
    }
    ClapOutputEvents sent;
    clap_process process{};
    process.steady_time = mSteadyTime;
    process.frames_count = static_cast<std::uint32_t>(frames);
    process.audio_inputs = ins.data();
    process.audio_outputs = outs.data();
    process.audio_inputs_count = static_cast<std::uint32_t>(ins.size());
    process.audio_outputs_count = static_cast<std::uint32_t>(outs.size());
    process.in_events = events.List();
    process.out_events = sent.List();
    if (mPlugin->process(mPlugin, &process) == kClapProcessError) {
        // The host discards what an erring block wrote.
        for (int c = 0; c < mMainOutputs; ++c) std::fill(outputs[c], outputs[c] + frames, T(0));
    }
    mSteadyTime += frames;
}

void HostedClap::ProcessFloat(float** inputs, float** outputs, int frames) { Process(inputs, outputs, frames); }

void HostedClap::ProcessDouble(double** inputs, double** outputs, int frames) {
    if (CanProcessDouble()) Process(inputs, outputs, frames);
}

int HostedClap::Latency() const {
    if (!mPlugin || !mLatencyExt || !mLatencyExt->get) return 0;
    const std::uint32_t latency = mLatencyExt->get(mPlugin);
    return latency > static_cast<std::uint32_t>(kMaxPluginLatency) ? kMaxPluginLatency : static_cast<int>(latency);
}

int HostedClap::ActiveLatency() {
    // CLAP plug-ins state their latency only while active: a suspended one
    // is activated at the load's rate for the question.
    if (mActive || !mPlugin) return Latency();
    if (!mPlugin->activate(mPlugin, mSampleRate, 1, static_cast<std::uint32_t>(mBlockSize))) return Latency();
    const int latency = Latency();
    mPlugin->deactivate(mPlugin);
    return latency;
}

bool HostedClap::TakeIoChanged() {
    if (!mHost) return false;
    const int changes =
        mHost->latencyChanges.exchange(0) + mHost->restartRequests.exchange(0) + mHost->portRescans.exchange(0);
    return changes > 0;
}

bool HostedClap::HasEditor() const {
#if defined(_WIN32)
    return false;
#else
    return mPlugin && mGuiExt && mGuiExt->is_api_supported(mPlugin, kClapWindowApiX11, false);
#endif
}

bool HostedClap::CreateGui() {
    if (!mGuiCreated && HasEditor()) {
        mGuiCreated = mGuiExt->create(mPlugin, kClapWindowApiX11, false);
        // Between create and the size, as hosts send it.
        if (mGuiCreated && mEditorScaleSet) mGuiExt->set_scale(mPlugin, mEditorScale);
    }
    return mGuiCreated;
}

bool HostedClap::SetEditorScale(double scale) {
    mEditorScale = scale;
    mEditorScaleSet = false;
    if (!CreateGui()) return false;
    mEditorScaleSet = mGuiExt->set_scale(mPlugin, scale);
    return mEditorScaleSet;
}

bool HostedClap::EditorSize(int& width, int& height) {
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (!CreateGui() || !mGuiExt->get_size(mPlugin, &w, &h) || w == 0 || h == 0 || w > 1u << 15 || h > 1u << 15)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool HostedClap::OpenEditor(void* /*display*/, unsigned long parentWindow, std::string& error) {
    if (!CreateGui()) {
        error = mPath + " did not create its editor";
        return false;
    }
    clap_window window{};
    window.api = kClapWindowApiX11;
    window.x11 = parentWindow;
    if (!mGuiExt->set_parent(mPlugin, &window)) {
        error = mPath + " did not open its editor";
        return false;
    }
    mGuiExt->show(mPlugin);
    return true;
}

void HostedClap::IdleEditor() {
    if (mHost && mPlugin) mHost->RunMainLoop(mPlugin, 0);
}

void HostedClap::CloseEditor() {
    if (!mGuiCreated) return;
    mGuiExt->hide(mPlugin);
    mGuiExt->destroy(mPlugin);
    mGuiCreated = false;
}

void HostedClap::Close() {
    if (mPlugin) {
        CloseEditor();
        Suspend();
        mPlugin->destroy(mPlugin);
        mPlugin = nullptr;
    }
    mParamsExt = nullptr;
    mStateExt = nullptr;
    mLatencyExt = nullptr;
    mGuiExt = nullptr;
    mParams.clear();
    mInputs.clear();
    mOutputs.clear();
    mMainInputs = mMainOutputs = 0;
    mHost.reset();
    mModule.Close();
}
