#include "tools/velmor-host/hosted_lv2.h"

#include <lv2/state/state.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "base/decimal_text.h"
#include "tools/velmor-host/hosted_vst2.h"

namespace {

constexpr std::size_t kMaxStateBytes = 64u << 20;
const char kLv2Magic[4] = {'L', 'V', '2', 'S'};

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    Put32(out, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

// A reader that fails (and stays failed) past the end.
struct Reader {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at = 0;
    bool ok = true;
    std::uint32_t U32() {
        if (!ok || bytes.size() - at < 4) {
            ok = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[at + static_cast<std::size_t>(i)]) << (8 * i);
        at += 4;
        return v;
    }
    std::vector<std::uint8_t> Bytes() {
        const std::uint32_t n = U32();
        if (!ok || bytes.size() - at < n) {
            ok = false;
            return {};
        }
        std::vector<std::uint8_t> v(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        return v;
    }
    std::string Text() {
        const std::vector<std::uint8_t> v = Bytes();
        return std::string(v.begin(), v.end());
    }
};

std::string ShortestText(float v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return r.ec == std::errc() ? std::string(text, r.ptr) : std::string();
}

std::string Text(const std::string& s) { return s.empty() ? "(none)" : s; }

}  // namespace

std::vector<std::uint8_t> EncodeLv2State(const std::vector<std::pair<std::string, float>>& ports,
                                         const std::vector<Lv2StateProperty>& properties) {
    std::vector<std::uint8_t> out(kLv2Magic, kLv2Magic + sizeof kLv2Magic);
    Put32(out, static_cast<std::uint32_t>(ports.size()));
    for (const auto& [symbol, value] : ports) {
        PutText(out, symbol);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        Put32(out, bits);
    }
    Put32(out, static_cast<std::uint32_t>(properties.size()));
    for (const Lv2StateProperty& p : properties) {
        PutText(out, p.key);
        PutText(out, p.type);
        Put32(out, p.flags);
        Put32(out, static_cast<std::uint32_t>(p.value.size()));
        out.insert(out.end(), p.value.begin(), p.value.end());
    }
    return out;
}

bool DecodeLv2State(const std::vector<std::uint8_t>& bytes, std::vector<std::pair<std::string, float>>& ports,
                    std::vector<Lv2StateProperty>& properties) {
    if (bytes.size() < sizeof kLv2Magic || std::memcmp(bytes.data(), kLv2Magic, sizeof kLv2Magic) != 0) return false;
    Reader r{bytes, sizeof kLv2Magic};
    std::vector<std::pair<std::string, float>> p;
    std::vector<Lv2StateProperty> props;
    const std::uint32_t portCount = r.U32();
    for (std::uint32_t i = 0; r.ok && i < portCount; ++i) {
        std::string symbol = r.Text();
        const std::uint32_t bits = r.U32();
        float v = 0.0f;
        std::memcpy(&v, &bits, sizeof v);
        p.emplace_back(std::move(symbol), v);
    }
    const std::uint32_t propCount = r.U32();
    for (std::uint32_t i = 0; r.ok && i < propCount; ++i) {
        Lv2StateProperty prop;
        prop.key = r.Text();
        prop.type = r.Text();
        prop.flags = r.U32();
        prop.value = r.Bytes();
        props.push_back(std::move(prop));
    }
    if (!r.ok || r.at != bytes.size()) return false;
    ports = std::move(p);
    properties = std::move(props);
    return true;
}

HostedLv2::HostedLv2() = default;
HostedLv2::~HostedLv2() { Close(); }

bool HostedLv2::Load(const std::string& bundle, const std::string& uri, double sampleRate, int blockSize,
                     std::string& error) {
    Close();
    mLocation = bundle.empty() ? uri : bundle;
    mPlugin = std::make_unique<Lv2Plugin>();
    if (!mPlugin->Load(bundle, uri, sampleRate, blockSize, error)) {
        mPlugin.reset();
        return false;
    }
    if (mPlugin->AudioInputs().size() > static_cast<std::size_t>(kMaxPluginChannels) ||
        mPlugin->AudioOutputs().size() > static_cast<std::size_t>(kMaxPluginChannels) ||
        mPlugin->ControlInputs().size() > static_cast<std::size_t>(kMaxPluginParameters)) {
        error = mLocation + ": implausible ports";
        mPlugin.reset();
        return false;
    }
    return true;
}

PluginDescription HostedLv2::Describe() {
    PluginDescription d;
    d.format = FormatName();
    d.location = mLocation;
    if (!mPlugin) return d;
    d.name = Text(mPlugin->Name());
    d.vendor = Text(mPlugin->Author());
    d.id = mPlugin->Uri();
    const LilvPlugin* p = mPlugin->Plugin();
    auto list = [](LilvNodes* nodes) {
        std::string s;
        LILV_FOREACH(nodes, i, nodes) {
            s += (s.empty() ? "" : " ") + std::string(lilv_node_as_uri(lilv_nodes_get(nodes, i)));
        }
        lilv_nodes_free(nodes);
        return s.empty() ? std::string("(none)") : s;
    };
    Lv2Ui ui(*mPlugin);
    d.version = "(none)";
    // The latency port is written by a run: one of no frames tells it.
    if (!mPlaying) {
        mPlugin->Activate();
        mPlugin->Run(nullptr, nullptr, 0);
        mPlugin->Deactivate();
    }
    d.details = {{"uri", d.id},
                 {"name", d.name},
                 {"author", d.vendor},
                 {"class", Text(mPlugin->ClassLabel())},
                 {"bundle", mPlugin->BundlePath()},
                 {"binary", mPlugin->BinaryPath()},
                 {"inputs", std::to_string(InputCount())},
                 {"outputs", std::to_string(OutputCount())},
                 {"parameters", std::to_string(ParameterCount())},
                 {"latency", std::to_string(Latency())},
                 {"required", list(lilv_plugin_get_required_features(p))},
                 {"optional", list(lilv_plugin_get_optional_features(p))},
                 {"extensions", list(lilv_plugin_get_extension_data(p))},
                 {"X11 UI", ui.Available() ? "yes" : "no"}};
    return d;
}

int HostedLv2::InputCount() const { return mPlugin ? static_cast<int>(mPlugin->AudioInputs().size()) : 0; }
int HostedLv2::OutputCount() const { return mPlugin ? static_cast<int>(mPlugin->AudioOutputs().size()) : 0; }
int HostedLv2::ParameterCount() const { return mPlugin ? static_cast<int>(mPlugin->ControlInputs().size()) : 0; }

const Lv2PortInfo* HostedLv2::Param(int index) const {
    if (!mPlugin || index < 0 || index >= ParameterCount()) return nullptr;
    return &mPlugin->Ports()[mPlugin->ControlInputs()[static_cast<std::size_t>(index)]];
}

std::string HostedLv2::ParameterName(int index) {
    const Lv2PortInfo* p = Param(index);
    return p ? p->name : std::string();
}

std::string HostedLv2::ParameterLabel(int index) {
    const Lv2PortInfo* p = Param(index);
    return p ? p->unit : std::string();
}

std::string HostedLv2::ParameterDisplay(int index) {
    const Lv2PortInfo* p = Param(index);
    if (!p) return std::string();
    const float v = mPlugin->Control(p->index);
    for (const auto& [value, label] : p->scalePoints) {
        if (value == v) return label;
    }
    if (p->toggled) return v > 0.0f ? "on" : "off";
    return ShortestText(v);
}

float HostedLv2::GetParameter(int index) {
    const Lv2PortInfo* p = Param(index);
    if (!p || !(p->max > p->min)) return 0.0f;
    const float n = (mPlugin->Control(p->index) - p->min) / (p->max - p->min);
    return std::clamp(n, 0.0f, 1.0f);
}

void HostedLv2::SetParameter(int index, float normalised) {
    const Lv2PortInfo* p = Param(index);
    if (!p || std::isnan(normalised)) return;
    const float n = std::clamp(normalised, 0.0f, 1.0f);
    float v = p->min + n * (p->max - p->min);
    if (p->toggled) v = n >= 0.5f ? p->max : p->min;
    if (p->integer || p->enumeration) v = std::round(v);
    mPlugin->SetControl(p->index, v);
    Settle();
}

bool HostedLv2::SetParameterFromText(int index, const std::string& text) {
    const Lv2PortInfo* p = Param(index);
    if (!p) return false;
    for (const auto& [value, label] : p->scalePoints) {
        if (label == text) {
            mPlugin->SetControl(p->index, value);
            Settle();
            return true;
        }
    }
    double v = 0.0;
    if (p->enumeration || ReadLeadingDecimal(text.c_str(), v) == 0 || std::isnan(v)) return false;
    v = std::clamp<double>(v, p->min, p->max);
    if (p->integer || p->toggled) v = std::round(v);
    mPlugin->SetControl(p->index, static_cast<float>(v));
    Settle();
    return true;
}

void HostedLv2::Settle() {
    // While a block plays the value goes with the next one.
    if (mPlaying || !mPlugin) return;
    mPlugin->Run(nullptr, nullptr, 0);
}

bool HostedLv2::SaveState(PluginState& state, std::string& error) {
    if (!mPlugin) {
        error = "no plug-in";
        return false;
    }
    state.pluginId = 0;
    state.pluginTextId = mPlugin->Uri();
    state.pluginVersion = 0;
    state.kind = StateKind::kLv2State;
    std::vector<std::pair<std::string, float>> ports;
    for (std::uint32_t port : mPlugin->ControlInputs()) {
        ports.emplace_back(mPlugin->Ports()[port].symbol, mPlugin->Control(port));
    }
    std::vector<Lv2StateProperty> properties;
    if (mPlugin->HasStateInterface() && !mPlugin->SaveProperties(properties, error)) return false;
    state.payload = EncodeLv2State(ports, properties);
    if (state.payload.size() > kMaxStateBytes) {
        error = "the plug-in's state is implausibly large (" + std::to_string(state.payload.size()) + " bytes)";
        return false;
    }
    return true;
}

bool HostedLv2::RestoreState(const PluginState& state, const std::string& source, std::string& error) {
    if (!mPlugin) {
        error = "no plug-in";
        return false;
    }
    if (state.pluginTextId != mPlugin->Uri()) {
        error = source + " holds the state of plug-in " +
                (state.pluginTextId.empty() ? UniqueIdText(state.pluginId) : state.pluginTextId) +
                ", not of this one, " + mPlugin->Uri();
        return false;
    }
    if (state.kind != StateKind::kLv2State) {
        error = source + " holds a kind of state an LV2 plug-in does not take";
        return false;
    }
    return RestoreBareState(state.payload, source, error);
}

bool HostedLv2::RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                                 std::string& error) {
    if (!mPlugin) {
        error = "no plug-in";
        return false;
    }
    std::vector<std::pair<std::string, float>> ports;
    std::vector<Lv2StateProperty> properties;
    if (!DecodeLv2State(bytes, ports, properties)) {
        error = source + " does not hold a whole LV2 state";
        return false;
    }
    for (const auto& [symbol, value] : ports) {
        const int port = mPlugin->PortBySymbol(symbol);
        if (port < 0 || mPlugin->Ports()[static_cast<std::size_t>(port)].type != Lv2PortInfo::Type::kControl ||
            !mPlugin->Ports()[static_cast<std::size_t>(port)].input) {
            error = source + " sets a port " + symbol + " that " + mPlugin->Uri() + " does not have";
            return false;
        }
    }
    if (!properties.empty()) {
        std::string why;
        if (!mPlugin->RestoreProperties(properties, why)) {
            error = "the plug-in did not accept the state in " + source + ": " + why;
            return false;
        }
    }
    for (const auto& [symbol, value] : ports)
        mPlugin->SetControl(static_cast<std::uint32_t>(mPlugin->PortBySymbol(symbol)), value);
    Settle();
    return true;
}

void HostedLv2::Resume(bool /*doublePrecision*/) {
    if (!mPlugin || mPlaying) return;
    mPlugin->Activate();
    mPlaying = true;
}

void HostedLv2::Suspend() {
    if (!mPlugin || !mPlaying) return;
    mPlaying = false;
    // Values set while the last block played still reach the plug-in.
    Settle();
    mPlugin->Deactivate();
}

void HostedLv2::ProcessFloat(float** inputs, float** outputs, int frames) {
    if (!mPlugin || !mPlaying || frames <= 0 || frames > mPlugin->MaxBlock()) return;
    mPlugin->Run(inputs, outputs, frames);
}

int HostedLv2::Latency() const {
    if (!mPlugin || mPlugin->LatencyPort() < 0) return 0;
    const float v = mPlugin->Control(static_cast<std::uint32_t>(mPlugin->LatencyPort()));
    if (!(v > 0.0f)) return 0;
    return v > static_cast<float>(kMaxPluginLatency) ? kMaxPluginLatency : static_cast<int>(v);
}

bool HostedLv2::TakeIoChanged() {
    const int latency = Latency();
    const bool changed = mReportedLatency >= 0 && latency != mReportedLatency;
    mReportedLatency = latency;
    return changed;
}

bool HostedLv2::HasEditor() const { return mPlugin && Lv2Ui(*mPlugin).Available(); }

bool HostedLv2::EditorSize(int& width, int& height) {
    if (!mUi || mUi->Width() <= 0 || mUi->Height() <= 0 || mUi->Width() > 1 << 15 || mUi->Height() > 1 << 15)
        return false;
    width = mUi->Width();
    height = mUi->Height();
    return true;
}

bool HostedLv2::OpenEditor(void* /*display*/, unsigned long parentWindow, std::string& error) {
    if (!mPlugin) {
        error = "no plug-in";
        return false;
    }
    mUi = std::make_unique<Lv2Ui>(*mPlugin);
    if (!mUi->Open(parentWindow, mScale, error)) {
        mUi.reset();
        return false;
    }
    return true;
}

void HostedLv2::IdleEditor() {
    if (mUi) mUi->Idle();
}

void HostedLv2::CloseEditor() { mUi.reset(); }

bool HostedLv2::SetEditorScale(double scale) {
    if (!(scale > 0.0)) return false;
    mScale = scale;
    if (mUi) mUi->SetScale(scale);
    return true;
}

void HostedLv2::Close() {
    mUi.reset();
    if (mPlugin) mPlugin->Deactivate();
    mPlaying = false;
    mPlugin.reset();
}
