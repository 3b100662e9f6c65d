// Velmor's whole chain through the LV2 adapter's run(), as an LV2 host
// drives it (control ports read at the start of every block, audio in
// single precision), beside the VST 2.4 single-precision callback in the
// same run: the figure to compare is time_per_frame of Lv2FloatStereo* and
// Vst2FloatStereo* at the same voicing. Lv2FloatStereoAMoving moves one
// control port every block, as a host's automation does.
//
// Counters as in bench/bench_signal.h.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_signal.h"
#include "core/plugin_factory.h"
#include "lv2/effect_lv2.h"
#include "plugin/velmor.h"
#include "vst/in_process_effect.h"

namespace {

constexpr int kBlock = 512;
constexpr int kSignalFrames = 48000;  // one second, looped

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct Signal {
    Signal() {
        const std::vector<double> left = VoiceLikeSignal(kSignalFrames, 0.0);
        const std::vector<double> right = VoiceLikeSignal(kSignalFrames, 3.0);
        inL.assign(left.begin(), left.end());
        inR.assign(right.begin(), right.end());
    }
    std::vector<float> inL, inR, out0 = std::vector<float>(kBlock), out1 = std::vector<float>(kBlock);
    int position = 0;
    void Next() {
        position += kBlock;
        if (position + kBlock > kSignalFrames) position = 0;
    }
};

void RunLv2(benchmark::State& state, int mode, bool moving) {
    IEffectLV2 effect(CreatePluginInstance(), 2, kRate, nullptr, kBlock);
    const Lv2PortLayout& layout = effect.Layout();
    std::vector<float> controls(static_cast<std::size_t>(layout.params));
    for (int i = 0; i < layout.params; ++i) {
        controls[static_cast<std::size_t>(i)] = static_cast<float>(effect.Plugin().GetParam(i)->Default());
        effect.Connect(static_cast<std::uint32_t>(i), &controls[static_cast<std::size_t>(i)]);
    }
    controls[Velmor::kMode] = static_cast<float>(mode);
    float outputs[4] = {};
    effect.Connect(layout.Latency(), &outputs[0]);
    effect.Connect(layout.Meter(0), &outputs[1]);
    effect.Connect(layout.Meter(1), &outputs[2]);
    effect.Connect(layout.PowerLamp(), &outputs[3]);
    Signal s;
    effect.Activate();
    int block = 0;
    for (auto _ : state) {
        effect.Connect(layout.AudioIn(0), s.inL.data() + s.position);
        effect.Connect(layout.AudioIn(1), s.inR.data() + s.position);
        effect.Connect(layout.AudioOut(0), s.out0.data());
        effect.Connect(layout.AudioOut(1), s.out1.data());
        if (moving) controls[Velmor::kDbOutput] = (++block & 1) ? -1.0f : -2.0f;
        effect.Run(kBlock);
        benchmark::DoNotOptimize(s.out0.data());
        benchmark::DoNotOptimize(s.out1.data());
        s.Next();
    }
    effect.Deactivate();
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
    Signal s;
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
void Lv2FloatStereoA(benchmark::State& s) { RunLv2(s, 1, false); }
void Vst2FloatStereoD(benchmark::State& s) { RunVst2(s, 4); }
void Lv2FloatStereoD(benchmark::State& s) { RunLv2(s, 4, false); }
void Lv2FloatStereoAMoving(benchmark::State& s) { RunLv2(s, 1, true); }

BENCHMARK(Vst2FloatStereoA);
BENCHMARK(Lv2FloatStereoA);
BENCHMARK(Vst2FloatStereoD);
BENCHMARK(Lv2FloatStereoD);
BENCHMARK(Lv2FloatStereoAMoving);

}  // namespace

BENCHMARK_MAIN();
