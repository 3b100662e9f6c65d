// Velmor's process() through the VST 3 adapter against the VST 2.4 float
// path in the same run, at 48 kHz in blocks of 512 stereo frames, voicings A
// and D: the 32-bit and 64-bit process calls, and the 32-bit one with a
// parameter point in the middle of every block (the block runs in two
// pieces, as automation makes it).
//
// Counters: time_per_frame (one stereo frame) and realtime_x.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "plugin/velmor.h"
#include "vst/in_process_effect.h"
#include "vst3/effect_vst3.h"
#include "vst3/host/host_objects.h"

namespace {

using namespace vst3;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kSignalFrames = 48000;

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// Two partials under a slow swell, peaking near -6 dBFS, so the limiters
// work; the channels differ a little.
std::vector<double> Voice(double detune) {
    std::vector<double> x(kSignalFrames);
    const double pi = std::acos(-1.0);
    for (int i = 0; i < kSignalFrames; ++i) {
        const double t = i / kRate;
        x[i] = (0.5 + 0.5 * std::sin(2 * pi * 3.0 * t)) *
               (0.3 * std::sin(2 * pi * (150.0 + detune) * t) + 0.1 * std::sin(2 * pi * 2600.0 * t));
    }
    return x;
}

void SetCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["time_per_frame"] = benchmark::Counter(
        static_cast<double>(kBlock), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(kBlock / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

void Vst2Float(benchmark::State& state, int mode) {
    InProcessEffect plugin(SilentHost);
    AEffect* fx = plugin.Record();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    fx->dispatcher(fx, effSetBlockSize, 0, kBlock, nullptr, 0);
    fx->setParameter(fx, Velmor::kMode, static_cast<float>(mode) / 4.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0);
    const std::vector<double> l = Voice(0.0), r = Voice(3.0);
    std::vector<float> inL(l.begin(), l.end()), inR(r.begin(), r.end()), out0(kBlock), out1(kBlock);
    int position = 0;
    for (auto _ : state) {
        float* ins[2] = {inL.data() + position, inR.data() + position};
        float* outs[2] = {out0.data(), out1.data()};
        fx->processReplacing(fx, ins, outs, kBlock);
        benchmark::DoNotOptimize(out0.data());
        position = position + 2 * kBlock > kSignalFrames ? 0 : position + kBlock;
    }
    SetCounters(state);
}

template <typename Sample>
void Vst3Process(benchmark::State& state, int mode, bool automated) {
    IEffectVST3* effect = IEffectVST3::Create();
    void* obj = nullptr;
    effect->QueryInterface(kIComponentIid.Data(), &obj);
    auto* component = static_cast<IComponent*>(obj);
    effect->QueryInterface(kIAudioProcessorIid.Data(), &obj);
    auto* processor = static_cast<IAudioProcessor*>(obj);
    effect->Release();
    ProcessSetup setup{kRealtime, sizeof(Sample) == 4 ? kSample32 : kSample64, kBlock, kRate};
    processor->setupProcessing(&setup);
    HostParameterChanges changes;
    HostParameterChanges none;
    changes.Add(Velmor::kMode, 0, mode / 4.0);
    component->setActive(1);
    processor->setProcessing(1);

    const std::vector<double> l = Voice(0.0), r = Voice(3.0);
    std::vector<Sample> inL(l.begin(), l.end()), inR(r.begin(), r.end()), out0(kBlock), out1(kBlock);
    int position = 0;
    bool up = false;
    for (auto _ : state) {
        Sample* ins[2] = {inL.data() + position, inR.data() + position};
        Sample* outs[2] = {out0.data(), out1.data()};
        AudioBusBuffers in{}, out{};
        in.numChannels = out.numChannels = 2;
        if constexpr (sizeof(Sample) == 4) {
            in.channelBuffers32 = ins;
            out.channelBuffers32 = outs;
        } else {
            in.channelBuffers64 = ins;
            out.channelBuffers64 = outs;
        }
        if (automated) {
            changes.Clear();
            changes.Add(Velmor::kDbOutput, kBlock / 2, (up = !up) ? 0.61 : 0.59);
        }
        ProcessData data{};
        data.symbolicSampleSize = setup.symbolicSampleSize;
        data.numSamples = kBlock;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &out;
        data.inputParameterChanges = &changes;
        data.outputParameterChanges = &none;
        processor->process(&data);
        if (!automated) changes.Clear();
        benchmark::DoNotOptimize(out0.data());
        position = position + 2 * kBlock > kSignalFrames ? 0 : position + kBlock;
    }
    SetCounters(state);
    processor->setProcessing(0);
    component->setActive(0);
    processor->release();
    component->release();
}

void Vst2FloatStereoA(benchmark::State& s) { Vst2Float(s, 1); }
void Vst2FloatStereoD(benchmark::State& s) { Vst2Float(s, 4); }
void Vst3FloatStereoA(benchmark::State& s) { Vst3Process<float>(s, 1, false); }
void Vst3FloatStereoD(benchmark::State& s) { Vst3Process<float>(s, 4, false); }
void Vst3DoubleStereoA(benchmark::State& s) { Vst3Process<double>(s, 1, false); }
void Vst3FloatStereoAPointPerBlock(benchmark::State& s) { Vst3Process<float>(s, 1, true); }

BENCHMARK(Vst2FloatStereoA);
BENCHMARK(Vst3FloatStereoA);
BENCHMARK(Vst2FloatStereoD);
BENCHMARK(Vst3FloatStereoD);
BENCHMARK(Vst3DoubleStereoA);
BENCHMARK(Vst3FloatStereoAPointPerBlock);

}  // namespace

BENCHMARK_MAIN();
