#include "tests/clap/clap_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

ClapModule& VelmorModule() {
    static ClapModule module;
    if (!module.IsOpen()) {
        std::string error;
        EXPECT_TRUE(module.Open(VELMOR_CLAP_PATH, error)) << error;
    }
    return module;
}

const clap_plugin_descriptor* VelmorDescriptor() {
    std::string error;
    const clap_plugin_descriptor* d = VelmorModule().Find("", error);
    EXPECT_NE(d, nullptr) << error;
    return d;
}

Audio TestSignal(int channels, int frames) {
    const double kPi = 3.14159265358979323846;
    Audio audio(static_cast<std::size_t>(channels), std::vector<float>(static_cast<std::size_t>(frames)));
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < frames; ++i) {
            const double t = i / 48000.0;
            const double swell = 0.5 + 0.45 * std::sin(2 * kPi * 1.3 * t);
            audio[c][i] = static_cast<float>(
                swell * (0.6 * std::sin(2 * kPi * (180.0 + 40 * c) * t) + 0.3 * std::sin(2 * kPi * 2400.0 * t)));
        }
    }
    return audio;
}

ClapInstance::ClapInstance(ClapHostContext& host) {
    const clap_plugin_descriptor* d = VelmorDescriptor();
    const clap_plugin_factory* f = VelmorModule().Factory();
    if (!d || !f) return;
    mPlugin = f->create_plugin(f, host.Host(), d->id);
    EXPECT_NE(mPlugin, nullptr);
    if (mPlugin) {
        EXPECT_TRUE(mPlugin->init(mPlugin));
    }
}

ClapInstance::~ClapInstance() {
    if (!mPlugin) return;
    Stop();
    mPlugin->destroy(mPlugin);
}

bool ClapInstance::Start(double rate, std::uint32_t maxFrames) {
    mActive = mPlugin->activate(mPlugin, rate, 1, maxFrames);
    return mActive && mPlugin->start_processing(mPlugin);
}

void ClapInstance::Stop() {
    if (!mActive) return;
    mPlugin->stop_processing(mPlugin);
    mPlugin->deactivate(mPlugin);
    mActive = false;
}

void ClapInstance::Process(Audio& io, std::uint32_t offset, std::uint32_t frames, const ClapInputEvents& events,
                           ClapOutputEvents* sent) {
    std::vector<float*> channels;
    for (std::vector<float>& c : io) channels.push_back(c.data() + offset);
    clap_audio_buffer in{channels.data(), nullptr, static_cast<std::uint32_t>(channels.size()), 0, 0};
    clap_audio_buffer out = in;
    ClapOutputEvents ignored;
    clap_process p{};
    p.steady_time = mSteadyTime;
    p.frames_count = frames;
    p.audio_inputs = &in;
    p.audio_outputs = &out;
    p.audio_inputs_count = 1;
    p.audio_outputs_count = 1;
    p.in_events = events.List();
    p.out_events = sent ? sent->List() : ignored.List();
    EXPECT_EQ(mPlugin->process(mPlugin, &p), kClapProcessContinue);
    mSteadyTime += frames;
}

Audio ClapInstance::Render(const Audio& in, std::uint32_t block) {
    Audio io = in;
    const auto frames = static_cast<std::uint32_t>(in.empty() ? 0 : in[0].size());
    for (std::uint32_t done = 0; done < frames; done += block) {
        Process(io, done, std::min(block, frames - done), ClapInputEvents());
    }
    return io;
}

ClapOutputEvents ClapInstance::Flush(const ClapInputEvents& events) {
    ClapOutputEvents sent;
    Params()->flush(mPlugin, events.List(), sent.List());
    return sent;
}

void ClapInstance::Set(clap_id id, double value) {
    ClapInputEvents events;
    events.AddValue(id, value);
    Flush(events);
}

double ClapInstance::Value(clap_id id) const {
    double v = -1e300;
    EXPECT_TRUE(Params()->get_value(mPlugin, id, &v)) << id;
    return v;
}

clap_param_info ClapInstance::Info(std::uint32_t index) const {
    clap_param_info info{};
    EXPECT_TRUE(Params()->get_info(mPlugin, index, &info)) << index;
    return info;
}

std::vector<std::uint8_t> ClapInstance::Save(std::size_t step) const {
    ClapOutputStream stream(step);
    const auto* state = Extension<clap_plugin_state>(kClapExtState);
    if (!state->save(mPlugin, stream.Stream())) return {};
    return stream.bytes;
}

bool ClapInstance::Load(const std::vector<std::uint8_t>& bytes, std::size_t step) const {
    ClapInputStream stream(bytes, step);
    return Extension<clap_plugin_state>(kClapExtState)->load(mPlugin, stream.Stream());
}
