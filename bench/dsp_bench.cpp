// Cost of the vocal chain per frame at 48 kHz, and of each of its blocks.
//
// Counters: per_frame (time per sample frame, mono or stereo, or per call of
// a block) and realtime (how many times faster than real time one core runs
// it).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "plugin/dsp/biquad_cascade.h"
#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/isa.h"
#include "plugin/dsp/lanes.h"
#include "plugin/dsp/lookahead_limiter.h"
#include "plugin/dsp/moving_average.h"
#include "plugin/dsp/param_smoother.h"
#include "plugin/velmor.h"
#include "plugin/vocal_chain.h"
#include "plugin/vu_level.h"
#include "tests/chain/chain_harness.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

// A benchmark's "loops" argument: 0 runs the best copies of the loops this
// processor offers, 1 the x86-64 baseline copies, 2 the AVX copies (as a
// processor without AVX-512 would).
void CapLoopsAt(std::int64_t loops) {
    using velmor_dsp::Loops;
    velmor_dsp::CapLoops(loops == 1 ? Loops::kBaseline : loops == 2 ? Loops::kAvx : Loops::kAvx512);
}

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

// Settings a host's automation moves between: the defaults with one
// parameter at a random value each (from Velmor's own hooks).
std::vector<VocalChainSettings> AutomationSettings() {
    std::vector<VocalChainSettings> all;
    std::uint32_t seed = 77;
    for (int k = 0; k < 32; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const int index = static_cast<int>((seed >> 8) % Velmor::kNumParams);
        seed = seed * 1664525u + 1013904223u;
        const double unit = static_cast<double>(seed >> 8) / 16777216.0;
        Velmor probe;
        const IParameter* param = probe.GetParam(index);
        all.push_back(chain_test::SettingsWith(kRate, index, param->Min() + unit * (param->Max() - param->Min())));
    }
    return all;
}

// The chain on the plug-in's defaults in Mode 1..4 ("A".."D"), or, with
// Mode 0, automated: a different setting every 4 blocks.
// Args: mode, channels (1 or 2), loops (see CapLoopsAt).
void BM_Chain(benchmark::State& state) {
    CapLoopsAt(state.range(2));
    const int mode = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    VocalChain chain;
    VuLevel drive, output;
    VocalChainSettings s = chain_test::DefaultSettings(kRate);
    if (mode > 0) chain_test::SetVoicing(s, static_cast<char>('A' + mode - 1));
    const std::vector<VocalChainSettings> automation = AutomationSettings();
    const int frames = kRate;  // one second, cycled
    std::vector<double> inL = Signal(frames, 1), inR = Signal(frames, 2), outL(kBlock), outR(kBlock);
    chain.Reserve(1.5, kRate);
    int pos = 0, block = 0;
    auto run = [&] {
        if (mode == 0 && ++block % 4 == 0) s = automation[(block / 4) % automation.size()];
        double* ins[2] = {inL.data() + pos, inR.data() + pos};
        double* outs[2] = {outL.data(), outR.data()};
        chain.Process(ins, channels, outs, channels, kBlock, s, &drive, &output);
        pos += kBlock;
        if (pos + kBlock > frames) pos = 0;
    };
    for (int i = 0; i < 2 * frames / kBlock; ++i) run();  // settle smoothers and gains
    for (auto _ : state) {
        run();
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    SetFrameCounters(state, kBlock);
    CapLoopsAt(0);
}
BENCHMARK(BM_Chain)
    ->ArgNames({"mode", "channels", "loops"})
    ->Args({1, 2, 0})
    ->Args({2, 2, 0})
    ->Args({3, 2, 0})
    ->Args({4, 2, 0})
    ->Args({0, 2, 0})
    ->Args({1, 1, 0})
    ->Args({1, 2, 1})
    ->Args({0, 2, 1})
    ->Args({1, 2, 2})
    ->Args({0, 2, 2});

// One cascade of four sections, one call per sample, steady or with its
// corner gliding (a redesign on every call).
void BM_BiquadCascade(benchmark::State& state) {
    const bool glide = state.range(0) != 0;
    BiquadCascade f;
    const std::vector<double> in = Signal(kBlock, 3);
    double sink = 0.0, corner = 250.0;
    for (auto _ : state) {
        DenormalGuard guard;
        for (double x : in) {
            if (glide) corner = corner > 299.0 ? 21.0 : corner + 0.01;
            sink += f.ProcessFlushed(x, corner, 0.7, 0.0, kRate, 1, 3);
        }
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_BiquadCascade)->ArgName("glide")->Arg(0)->Arg(1);

// The chain's filter banks: the stereo low cut in two lanes, then the band
// split's four filters, per stereo frame.
void BM_FilterBanks(benchmark::State& state) {
    using velmor_dsp::Lanes2;
    using velmor_dsp::Lanes4;
    CapLoopsAt(state.range(0));
    BiquadBank<Lanes2> lowCut({1, 1});
    BiquadBank<Lanes4> split({0, 0, 1, 1});
    const std::vector<double> l = Signal(kBlock, 3), r = Signal(kBlock, 4);
    std::vector<double> out(kBlock);
    lowCut.Tune(80.0, 0.7, 0.0, kRate);
    split.Tune(250.0, 0.7, 0.0, kRate);
    for (auto _ : state) {
        DenormalGuard guard;
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            auto a = lowCut.Begin();
            auto b = split.Begin();
            const auto c1 = lowCut.Coefficients();
            const auto c2 = split.Coefficients();
            for (int i = 0; i < kBlock; ++i) {
                const Lanes2 h = a.Step(c1, Lanes2::Of(l[i], r[i]));
                const Lanes4 bands = b.Step(c2, Lanes4::Of(h, h));
                out[i] = velmor_dsp::Lane(bands.Low(), 0) + velmor_dsp::Lane(bands.High(), 1);
            }
            lowCut.End(a);
            split.End(b);
        });
        benchmark::DoNotOptimize(out.data());
    }
    SetFrameCounters(state, kBlock);
    CapLoopsAt(0);
}
BENCHMARK(BM_FilterBanks)->ArgName("loops")->Arg(0)->Arg(1)->Arg(2);

// The same in the chain's block form: 64-sample slices, the sections
// skewed, the split in one 256-bit register on AVX (and a held low cut's
// sections two to one); with glide, a corner that moves on every sample
// (designs worked out in lanes per slice).
void BM_FilterBankBlocks(benchmark::State& state) {
    using velmor_dsp::Lanes2;
    CapLoopsAt(state.range(0));
    const bool glide = state.range(1) != 0;
    BiquadBank<Lanes2> lowCut({1, 1});
    BiquadBank<velmor_dsp::Lanes4> split({0, 0, 1, 1});
    const std::vector<double> l = Signal(kBlock, 3), r = Signal(kBlock, 4);
    std::vector<double> out(kBlock);
    double corner = 80.0;
    for (auto _ : state) {
        DenormalGuard guard;
        for (int from = 0; from < kBlock; from += 64) {
            double f[64], h[128];
            for (int i = 0; i < 64; ++i) f[i] = glide ? (corner = corner > 299.0 ? 21.0 : corner + 0.01) : corner;
            velmor_dsp::RunOnActiveIsaWide([&](auto lanes) VELMOR_INLINE_LAMBDA {
                using L4 = typename decltype(lanes)::type;
                velmor_dsp::SectionCoefficients<Lanes2> c1[64];
                velmor_dsp::SectionCoefficients<L4> c2[64];
                lowCut.template TuneBlock<L4>(f, 0.7, 0.0, kRate, 64, c1);
                split.template TuneBlock<L4>(f, 0.7, 0.0, kRate, 64, c2);
                auto a = lowCut.Begin();
                auto coef = [&](int i) VELMOR_INLINE_LAMBDA -> const auto& { return c1[glide ? i : 0]; };
                auto in = [&](int i) VELMOR_INLINE_LAMBDA { return Lanes2::Of(l[from + i], r[from + i]); };
                auto store = [&](int i, Lanes2 y) VELMOR_INLINE_LAMBDA { y.Store(h + 2 * i); };
                // Held, the low cut's sections go two to a 256-bit register
                // on AVX, as in the chain.
                if (!glide && !std::is_same_v<L4, velmor_dsp::Lanes4>) {
                    a.template Steps<L4>(coef, 64, in, store);
                } else {
                    a.Steps(coef, 64, in, store);
                }
                lowCut.End(a);
                auto b = split.template BeginAs<L4>();
                b.Steps(
                    [&](int i) VELMOR_INLINE_LAMBDA -> const auto& { return c2[glide ? i : 0]; }, 64,
                    [&](int i) VELMOR_INLINE_LAMBDA {
                        const Lanes2 y = Lanes2::Load(h + 2 * i);
                        return L4::Of(y, y);
                    },
                    [&](int i, L4 z) VELMOR_INLINE_LAMBDA {
                        out[from + i] = velmor_dsp::Lane(z.Low(), 0) + velmor_dsp::Lane(z.High(), 1);
                    });
                split.EndAs(b);
            });
        }
        benchmark::DoNotOptimize(out.data());
    }
    SetFrameCounters(state, kBlock);
    CapLoopsAt(0);
}
BENCHMARK(BM_FilterBankBlocks)
    ->ArgNames({"loops", "glide"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1});

// One limiter over blocks, in reduction most of the time.
void BM_Limiter(benchmark::State& state) {
    const double lookaheadMs = state.range(0) / 10.0;
    LookaheadLimiter lim;
    std::vector<double> in = Signal(kRate, 4);
    for (double& x : in) x *= 6.0;
    std::vector<double> outL(kBlock), outR(kBlock);
    size_t pos = 0;
    for (auto _ : state) {
        lim.ProcessBlock(&in[pos], &in[pos], outL.data(), outR.data(), kBlock, 1.0, 0.0, 160.0, lookaheadMs, kRate);
        pos += kBlock;
        if (pos + kBlock > in.size()) pos = 0;
        benchmark::DoNotOptimize(outL.data());
    }
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_Limiter)->ArgName("lookahead_ms_x10")->Arg(15)->Arg(10)->Arg(2)->Arg(0);

// The band limiters: two limiters in one loop, per stereo frame of both.
void BM_LimiterPair(benchmark::State& state) {
    LookaheadLimiter a, b;
    std::vector<double> in = Signal(kRate, 5);
    for (double& x : in) x *= 6.0;
    std::vector<double> o1(kBlock), o2(kBlock), o3(kBlock), o4(kBlock);
    size_t pos = 0;
    for (auto _ : state) {
        LookaheadLimiter::ProcessBlockPair(a, &in[pos], &in[pos], o1.data(), o2.data(), 50.0, b, &in[pos], &in[pos],
                                           o3.data(), o4.data(), 30.0, kBlock, 1.0, 0.0, 1.5, kRate);
        pos += kBlock;
        if (pos + kBlock > in.size()) pos = 0;
        benchmark::DoNotOptimize(o1.data());
    }
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_LimiterPair);

void BM_Smoother(benchmark::State& state) {
    const bool glide = state.range(0) != 0;
    ParamSmoother s;
    double sink = 0.0, target = 4.2;
    std::vector<double> out(kBlock);
    for (auto _ : state) {
        if (glide) target = target > 10.0 ? 1.5 : target + 7.0;  // a new target every block
        s.ProcessBlock(target, kRate, 40.0, 1.0, 17.7828, 0.01, out.data(), kBlock);
        sink += out[kBlock - 1];
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_Smoother)->ArgName("glide")->Arg(0)->Arg(1);

void BM_EnvelopeFollower(benchmark::State& state) {
    EnvelopeFollower f;
    const std::vector<double> in = Signal(kBlock, 6);
    double sink = 0.0;
    for (auto _ : state) {
        for (double x : in) sink += f.Process(x, kRate, 0.0, 300.0);
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_EnvelopeFollower);

// The meters' ballistics: two meters, two followers each, in lanes.
void BM_MeterBallistics(benchmark::State& state) {
    VuLevel a, b;
    std::vector<double> x = Signal(kBlock, 7), y = Signal(kBlock, 8);
    for (auto _ : state) {
        EnvelopeFollower::SeriesPair pair = VuLevel::Ballistics(a, b, kRate);
        double ya = 0.0, yb = 0.0;
        for (int i = 0; i < kBlock; ++i) pair.Step(x[i], y[i], ya, yb);
        pair.Finish();
        benchmark::DoNotOptimize(ya + yb);
    }
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_MeterBallistics);

void BM_DelayLine(benchmark::State& state) {
    DelayLine d;
    const std::vector<double> in = Signal(kBlock, 9);
    std::vector<double> out(kBlock);
    for (auto _ : state) {
        d.ProcessBlock(in.data(), out.data(), kBlock, 127);
        benchmark::DoNotOptimize(out.data());
    }
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_DelayLine);

void BM_MovingAverage(benchmark::State& state) {
    MovingAverage m;
    const std::vector<double> in = Signal(kBlock, 10);
    double sink = 0.0;
    for (auto _ : state) {
        for (double x : in) sink += m.Process(x, 72);
    }
    benchmark::DoNotOptimize(sink);
    SetFrameCounters(state, kBlock);
}
BENCHMARK(BM_MovingAverage);

}  // namespace

BENCHMARK_MAIN();
