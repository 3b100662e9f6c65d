// Velmor's whole chain through the CLAP record, as a CLAP host drives it
// (process with its audio buffers and event lists, single precision as hosts
// use it, and double), beside the VST 2.4 single-precision callback in the
// same run: the figure to compare is time_per_frame of ClapFloatStereo* and
// Vst2FloatStereo* at the same voicing. ClapFloatStereoAEvents adds the
// host's automation: one parameter event in the middle of every block,
// which splits it in two.
//
// Counters as in bench/bench_signal.h.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_signal.h"
#include "clap/host_context.h"
#include "clap/new_plugin.h"
#include "core/plugin_factory.h"
#include "plugin/velmor.h"
#include "vst/in_process_effect.h"

namespace {

constexpr int kBlock = 512;
constexpr int kSignalFrames = 48000;  // one second, looped

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

template <typename Sample>
struct Signal {
    Signal() {
        const std::vector<double> left = VoiceLikeSignal(kSignalFrames, 0.0);
        const std::vector<double> right = VoiceLikeSignal(kSignalFrames, 3.0);
        inL.assign(left.begin(), left.end());
        inR.assign(right.begin(), right.end());
    }
    std::vector<Sample> inL, inR, out0 = std::vector<Sample>(kBlock), out1 = std::vector<Sample>(kBlock);
    int position = 0;
    void Next() {
        position += kBlock;
        if (position + kBlock > kSignalFrames) position = 0;
    }
};

class ClapRunning {
public:
    explicit ClapRunning(int mode) : mDescriptor(ClapDescriptor::Make(CreatePluginInstance)) {
        mPlugin = NewClapPlugin(mHost.Host(), mDescriptor->Get(), CreatePluginInstance);
        mPlugin->init(mPlugin);
        mParams = static_cast<const clap_plugin_params*>(mPlugin->get_extension(mPlugin, kClapExtParams));
        ClapInputEvents events;
        events.AddValue(Velmor::kMode, mode);
        ClapOutputEvents ignored;
        mParams->flush(mPlugin, events.List(), ignored.List());
        mPlugin->activate(mPlugin, kRate, 1, kBlock);
        mPlugin->start_processing(mPlugin);
    }
    ~ClapRunning() {
        mPlugin->stop_processing(mPlugin);
        mPlugin->deactivate(mPlugin);
        mPlugin->destroy(mPlugin);
    }
    template <typename Sample>
    void Process(Sample** ins, Sample** outs, const ClapInputEvents& events) {
        clap_audio_buffer in{}, out{};
        if constexpr (sizeof(Sample) == sizeof(float)) {
            in.data32 = ins;
            out.data32 = outs;
        } else {
            in.data64 = ins;
            out.data64 = outs;
        }
        in.channel_count = out.channel_count = 2;
        clap_process p{};
        p.frames_count = kBlock;
        p.audio_inputs = &in;
        p.audio_outputs = &out;
        p.audio_inputs_count = p.audio_outputs_count = 1;
        p.in_events = events.List();
        p.out_events = mSent.List();
        mPlugin->process(mPlugin, &p);
    }

private:
    ClapHostContext mHost{"bench"};
    std::unique_ptr<ClapDescriptor> mDescriptor;
    const clap_plugin* mPlugin = nullptr;
    const clap_plugin_params* mParams = nullptr;
    ClapOutputEvents mSent;
};

template <typename Sample>
void RunClap(benchmark::State& state, int mode, bool automate) {
    ClapRunning r(mode);
    Signal<Sample> s;
    ClapInputEvents quiet;
    ClapInputEvents moving[2];
    moving[0].AddValue(Velmor::kDbOutput, -1.0, kBlock / 2);
    moving[1].AddValue(Velmor::kDbOutput, -2.0, kBlock / 2);
    int block = 0;
    for (auto _ : state) {
        Sample* ins[2] = {s.inL.data() + s.position, s.inR.data() + s.position};
        Sample* outs[2] = {s.out0.data(), s.out1.data()};
        r.Process(ins, outs, automate ? moving[++block & 1] : quiet);
        benchmark::DoNotOptimize(s.out0.data());
        benchmark::DoNotOptimize(s.out1.data());
        s.Next();
    }
    SetCounters(state, kBlock);
}

void RunVst2(benchmark::State& state, int mode) {
    InProcessEffect plugin(SilentHost);
    AEffect* fx = plugin.Record();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, kRate);
    fx->dispatcher(fx, effSetBlockSize, 0, kBlock, nullptr, 0);
    fx->setParameter(fx, Velmor::kMode, static_cast<float>(mode) / 4.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0);
    Signal<float> s;
    for (auto _ : state) {
        float* ins[2] = {s.inL.data() + s.position, s.inR.data() + s.position};
        float* outs[2] = {s.out0.data(), s.out1.data()};
        fx->processReplacing(fx, ins, outs, kBlock);
        benchmark::DoNotOptimize(s.out0.data());
        benchmark::DoNotOptimize(s.out1.data());
        s.Next();
    }
    SetCounters(state, kBlock);
}

void Vst2FloatStereoA(benchmark::State& s) { RunVst2(s, 1); }
void ClapFloatStereoA(benchmark::State& s) { RunClap<float>(s, 1, false); }
void Vst2FloatStereoD(benchmark::State& s) { RunVst2(s, 4); }
void ClapFloatStereoD(benchmark::State& s) { RunClap<float>(s, 4, false); }
void ClapFloatStereoAEvents(benchmark::State& s) { RunClap<float>(s, 1, true); }
void ClapDoubleStereoA(benchmark::State& s) { RunClap<double>(s, 1, false); }

BENCHMARK(Vst2FloatStereoA);
BENCHMARK(ClapFloatStereoA);
BENCHMARK(Vst2FloatStereoD);
BENCHMARK(ClapFloatStereoD);
BENCHMARK(ClapFloatStereoAEvents);
BENCHMARK(ClapDoubleStereoA);

}  // namespace

BENCHMARK_MAIN();
