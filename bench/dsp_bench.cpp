// Cost of the vocal chain per frame at 48 kHz, and of its blocks.
//
// Counters: per_frame (time per sample frame, mono or stereo) and
// realtime (how many times faster than real time one core runs the chain).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "plugin/dsp/biquad_cascade.h"
#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/isa.h"
#include "plugin/dsp/lookahead_limiter.h"
#include "plugin/dsp/param_smoother.h"
#include "plugin/vocal_chain.h"
#include "plugin/vu_level.h"
#include "tests/chain/chain_harness.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

std::vector<double> Signal(int frames, unsigned seed) {
    // A vocal-like mix: a 180 Hz tone with harmonics, noise, and an envelope
    // that drives the limiters in and out of reduction.
    std::vector<double> v(frames);
    unsigned x = seed;
    for (int i = 0; i < frames; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const double t = static_cast<double>(i) / kRate;
        const double env = 0.3 + 0.25 * std::sin(6.283185307179586 * 3.0 * t);
        const double tone = std::sin(6.283185307179586 * 180.0 * t) + 0.4 * std::sin(6.283185307179586 * 540.0 * t);
        v[i] = env * (tone + 0.2 * (static_cast<double>(x) / 2147483648.0 - 1.0));
    }
    return v;
}

void SetFrameCounters(benchmark::State& state, double framesPerIteration) {
    // Seconds per frame, printed with an SI prefix (e.g. "130n" = 130 ns).
    state.counters["per_frame"] = benchmark::Counter(
        framesPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime"] =
        benchmark::Counter(framesPerIteration / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

// Args: voicing (0 = A, 1 = D), channels (1 or 2), flush scope (0 = block,
// 1 = each filter call), loops (0 = as the processor allows, 1 = baseline
// x86-64 copies even where AVX is there).
void BM_Chain(benchmark::State& state) {
    velmor_dsp::ForceBaselineLoops(state.range(3) != 0);
    const char voicing = state.range(0) == 0 ? 'A' : 'D';
    const int channels = static_cast<int>(state.range(1));
    const auto scope =
        state.range(2) == 0 ? VocalChain::FloatModeScope::kPerBlock : VocalChain::FloatModeScope::kPerFilterCall;
    VocalChain chain(scope);
    VuLevel drive, output;
    // The plug-in's defaults, as the chain tests use them.
    VocalChainSettings s = chain_test::DefaultSettings(kRate);
    chain_test::SetVoicing(s, voicing);
    const int frames = kRate;  // one second, cycled
    std::vector<double> inL = Signal(frames, 1), inR = Signal(frames, 2), outL(kBlock), outR(kBlock);
    int pos = 0;
    auto block = [&] {
        double* ins[2] = {inL.data() + pos, inR.data() + pos};
        double* outs[2] = {outL.data(), outR.data()};
        chain.Process(ins, channels, outs, channels, kBlock, s, &drive, &output);
        pos += kBlock;
        if (pos + kBlock > frames) pos = 0;
    };
    for (int i = 0; i < 2 * frames / kBlock; ++i) block();  // settle smoothers and gains
    for (auto _ : state) {
        block();
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    SetFrameCounters(state, kBlock);
    velmor_dsp::ForceBaselineLoops(false);
}
BENCHMARK(BM_Chain)
    ->ArgNames({"voicingD", "channels", "perCallFlush", "baseline"})
    ->Args({0, 2, 0, 0})
    ->Args({0, 1, 0, 0})
    ->Args({1, 2, 0, 0})
    ->Args({1, 1, 0, 0})
    ->Args({0, 2, 0, 1})
    ->Args({1, 2, 0, 1})
    ->Args({0, 2, 1, 0})
    ->Args({1, 2, 1, 0});

void BM_Biquad4(benchmark::State& state) {
    const bool guardEachCall = state.range(0) != 0;
    BiquadCascade f;
    const std::vector<double> in = Signal(kBlock, 3);
    double sink = 0.0;
    for (auto _ : state) {
        if (guardEachCall) {
            for (double x : in) sink += f.Process(x, 250.0, 0.7, 0.0, kRate, 1, 3);
        } else {
            DenormalGuard guard;
            for (double x : in) sink += f.ProcessFlushed(x, 250.0, 0.7, 0.0, kRate, 1, 3);
        }
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_Biquad4)->ArgName("guardEachCall")->Arg(0)->Arg(1);

void BM_Limiter(benchmark::State& state) {
    const double lookaheadMs = state.range(0) / 10.0;
    LookaheadLimiter lim;
    std::vector<double> in = Signal(kRate, 4);
    for (double& x : in) x *= 6.0;  // keep it in reduction most of the time
    size_t pos = 0;
    double sink = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            sink += lim.Process(in[pos], in[pos] * 0.5, 1.0, 0.0, 160.0, lookaheadMs, kRate);
            if (++pos == in.size()) pos = 0;
        }
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_Limiter)->ArgName("lookahead_ms_x10")->Arg(15)->Arg(2);

void BM_Smoother(benchmark::State& state) {
    ParamSmoother s;
    double sink = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) sink += s.Process(4.2, kRate, 40.0, 1.0, 17.7828, 0.01);
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_Smoother);

}  // namespace

BENCHMARK_MAIN();
