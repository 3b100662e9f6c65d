// Velmor's whole chain through the effect record, as a host drives it: the
// single-precision callback (what real hosts use: widening, ProcessBlock,
// narrowing) and the double-precision one, at 48 kHz, voicings A and D,
// stereo and mono (a mono host connects one input and one output); and the
// float stereo path once more on the x86-64 baseline loops.
//
// Counters: time_per_frame (one stereo or mono frame) and realtime_x, how
// many times faster than real time one core runs the chain.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "plugin/dsp/isa.h"
#include "plugin/velmor.h"
#include "vst/effect_vst.h"
#include "vst/in_process_effect.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;
constexpr int kSignalFrames = 48000;  // one second, looped

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// A vocal-like test signal: a few partials with a slow level swell plus a
// little noise, peaking near -6 dBFS, so the limiters really work.
std::vector<double> VoiceLikeSignal(int frames, double detune) {
    std::vector<double> x(frames);
    std::uint32_t seed = 12345;
    const double kPi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const double t = i / static_cast<double>(kRate);
        const double swell = 0.5 + 0.5 * std::sin(2 * kPi * 3.0 * t);
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.02;
        x[i] = swell * (0.25 * std::sin(2 * kPi * (140.0 + detune) * t) + 0.15 * std::sin(2 * kPi * 420.0 * t) +
                        0.08 * std::sin(2 * kPi * 2500.0 * t)) +
               noise;
    }
    return x;
}

struct Running {
    Running(int mode, bool mono) : plugin(SilentHost), fx(plugin.Record()) {
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, kRate);
        fx->dispatcher(fx, effSetBlockSize, 0, kBlock, nullptr, 0);
        if (mono) {
            VstSpeakerArrangement in{}, out{};
            in.type = out.type = kSpeakerArrMono;
            in.numChannels = out.numChannels = 1;
            fx->dispatcher(fx, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out, 0);
        }
        fx->setParameter(fx, Velmor::kMode, static_cast<float>(mode) / 4.0f);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0);
    }
    InProcessEffect plugin;
    AEffect* fx;
};

void SetCounters(benchmark::State& state, int framesPerIteration) {
    state.SetItemsProcessed(state.iterations() * framesPerIteration);
    // Seconds per frame; printed with its SI prefix (e.g. "58.1n" = 58.1 ns).
    state.counters["time_per_frame"] =
        benchmark::Counter(static_cast<double>(framesPerIteration),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(framesPerIteration) / kRate,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}

template <typename Sample>
void Run(benchmark::State& state, int mode, bool mono, bool baselineLoops = false) {
    velmor_dsp::ForceBaselineLoops(baselineLoops);
    Running r(mode, mono);
    const std::vector<double> left = VoiceLikeSignal(kSignalFrames, 0.0);
    const std::vector<double> right = VoiceLikeSignal(kSignalFrames, 3.0);
    std::vector<Sample> inL(left.begin(), left.end()), inR(right.begin(), right.end());
    std::vector<Sample> out0(kBlock), out1(kBlock);
    int position = 0;
    for (auto _ : state) {
        Sample* ins[2] = {inL.data() + position, inR.data() + position};
        Sample* outs[2] = {out0.data(), out1.data()};
        if constexpr (sizeof(Sample) == sizeof(float)) {
            r.fx->processReplacing(r.fx, ins, outs, kBlock);
        } else {
            r.fx->processDoubleReplacing(r.fx, ins, outs, kBlock);
        }
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
        position += kBlock;
        if (position + kBlock > kSignalFrames) position = 0;
    }
    SetCounters(state, kBlock);
    velmor_dsp::ForceBaselineLoops(false);
}

void FloatStereoA(benchmark::State& s) { Run<float>(s, 1, false); }
void FloatStereoD(benchmark::State& s) { Run<float>(s, 4, false); }
void FloatMonoA(benchmark::State& s) { Run<float>(s, 1, true); }
void FloatMonoD(benchmark::State& s) { Run<float>(s, 4, true); }
void DoubleStereoA(benchmark::State& s) { Run<double>(s, 1, false); }
void DoubleStereoD(benchmark::State& s) { Run<double>(s, 4, false); }
void DoubleMonoA(benchmark::State& s) { Run<double>(s, 1, true); }
void DoubleMonoD(benchmark::State& s) { Run<double>(s, 4, true); }
// The same on the x86-64 baseline loops, as a processor without AVX runs it.
void FloatStereoABaseline(benchmark::State& s) { Run<float>(s, 1, false, true); }
void FloatStereoDBaseline(benchmark::State& s) { Run<float>(s, 4, false, true); }

BENCHMARK(FloatStereoA);
BENCHMARK(FloatStereoD);
BENCHMARK(FloatMonoA);
BENCHMARK(FloatMonoD);
BENCHMARK(DoubleStereoA);
BENCHMARK(DoubleStereoD);
BENCHMARK(DoubleMonoA);
BENCHMARK(DoubleMonoD);
BENCHMARK(FloatStereoABaseline);
BENCHMARK(FloatStereoDBaseline);

}  // namespace

BENCHMARK_MAIN();
