// The built velmor.lv2 bundle through lilv, as an LV2 host drives it: the
// stereo or mono plug-in by URI, values as plain values on the control
// ports (the host's own conversion from 0..1), applied by the next run (a
// block of no frames while nothing plays), state as the state interface's
// chunk property. LV2 has no value texts, so those answers are empty.
#include <algorithm>
#include <cmath>
#include <memory>

#include "base/decimal_text.h"
#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "lv2/lilv_host.h"
#include "lv2/velmor_lv2_ids.h"
#include "tests/formats/format_driver.h"

namespace {

class Lv2Driver : public IFormatDriver {
public:
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        const char* uri = channels == 1 ? kVelmorLv2MonoUri : kVelmorLv2StereoUri;
        if (!mPlugin.Load(VELMOR_LV2_BUNDLE, uri, rate, maxBlock, error)) return false;
        mPlugin.Activate();
        return true;
    }
    void Suspend() override { mPlugin.Deactivate(); }
    void Resume() override { mPlugin.Activate(); }

    int ParameterCount() override { return static_cast<int>(mPlugin.ControlInputs().size()); }
    std::string ParameterName(int id) override { return Port(id).name; }
    void SetParameter(int id, double normalized) override {
        const Lv2PortInfo& p = Port(id);
        mPlugin.SetControl(p.index, static_cast<float>(p.min + normalized * (p.max - p.min)));
        mPlugin.Run(nullptr, nullptr, 0);
    }
    // The value the plug-in holds (a restored state's too), from its state.
    double GetParameter(int id) override {
        PluginExporter core(CreatePluginInstance(), nullptr);
        const std::vector<std::uint8_t> bytes = SaveState();
        IStateChunk chunk;
        chunk.AppendRaw(bytes.data(), static_cast<int>(bytes.size()));
        if (!core.LoadChunk(chunk, false)) return -1.0;
        return core.ParameterNormalized(id);
    }
    std::string ParameterText(int) override { return ""; }
    // As a host reads typed text: a scale point's label, else a number
    // (the rest ignored), clamped into the port's range.
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        const Lv2PortInfo& p = Port(id);
        double v = 0.0;
        bool found = false;
        for (const auto& [value, label] : p.scalePoints) {
            if (label == text) {
                v = value;
                found = true;
                break;
            }
        }
        if (!found) {
            if (p.enumeration || ReadLeadingDecimal(text.c_str(), v) == 0 || std::isnan(v)) return false;
            v = std::min<double>(std::max<double>(v, p.min), p.max);
        }
        *normalized = (v - p.min) / (p.max - p.min);
        return true;
    }

    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        mPlugin.Run(inputs, outputs, frames);
    }
    bool ProcessDouble(const double* const*, double* const*, int) override { return false; }

    std::vector<std::uint8_t> SaveState() override {
        std::vector<Lv2StateProperty> properties;
        std::string error;
        if (!mPlugin.SaveProperties(properties, error)) return {};
        for (const Lv2StateProperty& p : properties) {
            if (p.key == kVelmorLv2ChunkUri) return p.value;
        }
        return {};
    }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override {
        Lv2StateProperty chunk;
        chunk.key = kVelmorLv2ChunkUri;
        chunk.type = "http://lv2plug.in/ns/ext/atom#Chunk";
        chunk.value = bytes;
        std::string error;
        return mPlugin.RestoreProperties({chunk}, error);
    }

    int Latency() override {
        mPlugin.Run(nullptr, nullptr, 0);
        return static_cast<int>(mPlugin.Control(static_cast<std::uint32_t>(mPlugin.LatencyPort())));
    }

private:
    const Lv2PortInfo& Port(int id) { return mPlugin.Ports()[mPlugin.ControlInputs()[static_cast<std::size_t>(id)]]; }

    Lv2Plugin mPlugin;
};

const RegisterFormatDriver kLv2("lv2", [] { return std::make_unique<Lv2Driver>(); });

}  // namespace
