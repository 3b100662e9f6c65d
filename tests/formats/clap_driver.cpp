// The built Velmor.clap through clap_entry, its factory and the plug-in
// record, as a CLAP host drives it: values go in as plain values (the
// host's own conversion from 0..1), through params.flush while nothing
// plays.
#include <memory>

#include "clap/clap_module.h"
#include "clap/host_context.h"
#include "tests/formats/format_driver.h"

namespace {

ClapModule& Module() {
    static ClapModule module;
    return module;
}

template <typename Ext>
const Ext* Extension(const clap_plugin* plugin, const char* id) {
    return static_cast<const Ext*>(plugin->get_extension(plugin, id));
}

class ClapDriver : public IFormatDriver {
public:
    ~ClapDriver() override {
        if (!mPlugin) return;
        Suspend();
        mPlugin->destroy(mPlugin);
    }
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        if (!Module().IsOpen() && !Module().Open(VELMOR_CLAP_PATH, error)) return false;
        const clap_plugin_descriptor* d = Module().Find("", error);
        if (!d) return false;
        const clap_plugin_factory* f = Module().Factory();
        mPlugin = f->create_plugin(f, mHost.Host(), d->id);
        if (!mPlugin || !mPlugin->init(mPlugin)) {
            error = "no plug-in";
            return false;
        }
        mParams = Extension<clap_plugin_params>(mPlugin, kClapExtParams);
        mState = Extension<clap_plugin_state>(mPlugin, kClapExtState);
        mLatency = Extension<clap_plugin_latency>(mPlugin, kClapExtLatency);
        const auto* configs = Extension<clap_plugin_audio_ports_config>(mPlugin, kClapExtAudioPortsConfig);
        if (channels == 1 && !configs->select(mPlugin, 1)) {
            error = "no mono configuration";
            return false;
        }
        mChannels = channels;
        mRate = rate;
        mMaxBlock = maxBlock;
        Resume();
        return true;
    }
    void Suspend() override {
        if (!mActive) return;
        mPlugin->stop_processing(mPlugin);
        mPlugin->deactivate(mPlugin);
        mActive = false;
    }
    void Resume() override {
        mActive = mPlugin->activate(mPlugin, mRate, 1, static_cast<std::uint32_t>(mMaxBlock)) &&
                  mPlugin->start_processing(mPlugin);
    }

    int ParameterCount() override { return static_cast<int>(mParams->count(mPlugin)); }
    std::string ParameterName(int id) override { return Info(id).name; }
    void SetParameter(int id, double normalized) override {
        const clap_param_info info = Info(id);
        ClapInputEvents in;
        in.AddValue(static_cast<clap_id>(id), info.min_value + normalized * (info.max_value - info.min_value));
        ClapOutputEvents out;
        mParams->flush(mPlugin, in.List(), out.List());
    }
    double GetParameter(int id) override { return Normalized(id, Plain(id)); }
    std::string ParameterText(int id) override {
        char text[256] = {};
        if (!mParams->value_to_text(mPlugin, static_cast<clap_id>(id), Plain(id), text, sizeof text)) return "";
        return text;
    }
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        double plain = 0.0;
        if (!mParams->text_to_value(mPlugin, static_cast<clap_id>(id), text.c_str(), &plain)) return false;
        *normalized = Normalized(id, plain);
        return true;
    }

    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        Run(const_cast<float**>(inputs), const_cast<float**>(outputs), nullptr, nullptr, frames);
    }
    bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) override {
        Run(nullptr, nullptr, const_cast<double**>(inputs), const_cast<double**>(outputs), frames);
        return true;
    }

    std::vector<std::uint8_t> SaveState() override {
        ClapOutputStream stream;
        if (!mState->save(mPlugin, stream.Stream())) return {};
        return stream.bytes;
    }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override {
        ClapInputStream stream(bytes);
        return mState->load(mPlugin, stream.Stream());
    }

    int Latency() override { return static_cast<int>(mLatency->get(mPlugin)); }

private:
    clap_param_info Info(int id) {
        clap_param_info info{};
        mParams->get_info(mPlugin, static_cast<std::uint32_t>(id), &info);
        return info;
    }
    double Plain(int id) {
        double v = 0.0;
        mParams->get_value(mPlugin, static_cast<clap_id>(id), &v);
        return v;
    }
    double Normalized(int id, double plain) {
        const clap_param_info info = Info(id);
        return (plain - info.min_value) / (info.max_value - info.min_value);
    }
    void Run(float** in32, float** out32, double** in64, double** out64, int frames) {
        clap_audio_buffer in{in32, in64, static_cast<std::uint32_t>(mChannels), 0, 0};
        clap_audio_buffer out{out32, out64, static_cast<std::uint32_t>(mChannels), 0, 0};
        ClapInputEvents events;
        ClapOutputEvents sent;
        clap_process p{};
        p.steady_time = mSteadyTime;
        p.frames_count = static_cast<std::uint32_t>(frames);
        p.audio_inputs = &in;
        p.audio_outputs = &out;
        p.audio_inputs_count = 1;
        p.audio_outputs_count = 1;
        p.in_events = events.List();
        p.out_events = sent.List();
        mPlugin->process(mPlugin, &p);
        mSteadyTime += frames;
    }

    ClapHostContext mHost{"format conformance"};
    const clap_plugin* mPlugin = nullptr;
    const clap_plugin_params* mParams = nullptr;
    const clap_plugin_state* mState = nullptr;
    const clap_plugin_latency* mLatency = nullptr;
    int mChannels = 2;
    double mRate = 48000.0;
    int mMaxBlock = 512;
    bool mActive = false;
    std::int64_t mSteadyTime = 0;
};

const RegisterFormatDriver kClap("clap", [] { return std::make_unique<ClapDriver>(); });

}  // namespace
