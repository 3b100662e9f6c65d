// VocalChain: the power fade, channel set-up, band levels, fresh-instance
// behaviour, and invariance under block sizes and instruction set.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "chain_harness.h"
#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/isa.h"

using namespace chain_test;

namespace {

Stereo Program(int sr, int frames) {
    // Noise, a low tone and a loud burst, different per channel, so every
    // limiter works and both channels matter.
    Stereo in;
    in.l = Noise(0.3, frames, 7);
    in.r = Noise(0.2, frames, 11);
    const std::vector<double> tone = Sine(150.0, 0.6, sr, frames);
    const std::vector<double> high = Sine(3000.0, 0.4, sr, frames, 1.0);
    for (int i = 0; i < frames; ++i) {
        const double burst = (i > frames / 3 && i < frames / 3 + sr / 20) ? 3.0 : 1.0;
        in.l[i] = (in.l[i] + tone[i]) * burst;
        in.r[i] = (in.r[i] + high[i]) * burst;
    }
    return in;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Runs a two-segment program (voicing A with power on, then voicing D with
// F Limit on) in the given block sizes; returns the outputs and the meters'
// final levels appended.
std::vector<double> TwoSegmentRun(int sr, const std::vector<int>& blocks) {
    VocalChain chain;
    VuLevel drive, output;
    const int frames = sr * 3 / 4;
    const Stereo in = Program(sr, frames);
    Stereo first, second;
    first.l.assign(in.l.begin(), in.l.begin() + frames / 2);
    first.r.assign(in.r.begin(), in.r.begin() + frames / 2);
    second.l.assign(in.l.begin() + frames / 2, in.l.end());
    second.r.assign(in.r.begin() + frames / 2, in.r.end());
    VocalChainSettings s = DefaultSettings(sr);
    const Stereo a = RunChain(chain, s, first, blocks, false, &drive, &output);
    SetVoicing(s, 'D');
    s.attackOutputMs = 0.0;
    const Stereo b = RunChain(chain, s, second, blocks, false, &drive, &output);
    std::vector<double> all = a.l;
    all.insert(all.end(), a.r.begin(), a.r.end());
    all.insert(all.end(), b.l.begin(), b.l.end());
    all.insert(all.end(), b.r.begin(), b.r.end());
    all.push_back(drive.Level());
    all.push_back(output.Level());
    all.push_back(chain.PowerMix());
    return all;
}

TEST(VocalChain, OutputIsBitIdenticalForAnyBlockSplit) {
    for (int sr : {44100, 48000, 96000}) {
        const auto whole = TwoSegmentRun(sr, {1 << 30});
        const auto single = TwoSegmentRun(sr, {1});
        const auto uneven = TwoSegmentRun(sr, {1, 7, 64, 3, 500, 129, 2, 4096});
        EXPECT_TRUE(SameBits(whole, single)) << sr;
        EXPECT_TRUE(SameBits(whole, uneven)) << sr;
    }
}

TEST(VocalChain, EveryCopyOfTheLoopsGivesTheSameBits) {
    using velmor_dsp::Loops;
    if (velmor_dsp::BestLoops() == Loops::kBaseline) GTEST_SKIP() << "this processor runs the baseline loops only";
    for (int sr : {44100, 96000}) {
        velmor_dsp::CapLoops(Loops::kBaseline);
        const auto baseline = TwoSegmentRun(sr, {1, 7, 64, 3, 500});
        for (Loops cap : {Loops::kAvx, Loops::kAvx512}) {
            if (cap > velmor_dsp::BestLoops()) continue;
            velmor_dsp::CapLoops(cap);
            EXPECT_TRUE(SameBits(TwoSegmentRun(sr, {1, 7, 64, 3, 500}), baseline)) << sr << ", copy " << int(cap);
        }
        velmor_dsp::CapLoops(Loops::kAvx512);
    }
}

#if VELMOR_HAS_MXCSR
TEST(VocalChain, LeavesTheHostsFloatingPointModeAlone) {
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(0x1F80);  // default mode, no flushing
    VocalChain chain;
    RunChain(chain, DefaultSettings(44100), Program(44100, 2000), {256});
    EXPECT_EQ(_mm_getcsr() & ~0x3Fu, 0x1F80u);  // the low six bits are sticky exception flags
    _mm_setcsr(saved);
}
#endif

TEST(VocalChain, PowerOffFadesToTheExactDryInput) {
    // p falls from about 1 with 25 ms and becomes exactly 0 once it is
    // within 0.01: after ln(99)..ln(100) time constants (about 115 ms at any
    // rate). From then on the output is the input, bit for bit, as late as
    // the processed signal was: 130, 142 and 286 samples (two look-ahead
    // windows of 1.5 ms, each less one sample).
    for (auto [sr, latency] : {std::pair{44100, 130}, std::pair{48000, 142}, std::pair{96000, 286}}) {
        VocalChain chain;
        VocalChainSettings s = DefaultSettings(sr);
        RunChain(chain, s, Program(sr, sr / 2), {4096});
        ASSERT_EQ(chain.PowerMix(), 1.0);
        s.power = 0.0;
        const Stereo in = Program(sr, sr / 2);
        const double tau = 0.025 * sr;
        int firstZero = -1;
        for (int i = 0; i < sr / 2; ++i) {
            double l = in.l[i], r = in.r[i], outL = 0, outR = 0;
            double* ins[2] = {&l, &r};
            double* outs[2] = {&outL, &outR};
            chain.Process(ins, 2, outs, 2, 1, s, nullptr, nullptr);
            if (firstZero < 0 && chain.PowerMix() == 0.0) firstZero = i + 1;
            if (firstZero >= 0) {
                ASSERT_EQ(outL, in.l[i - latency]) << sr << " Hz, sample " << i;
                ASSERT_EQ(outR, in.r[i - latency]) << sr << " Hz, sample " << i;
            }
        }
        EXPECT_GE(firstZero, static_cast<int>(std::log(99.0) * tau)) << sr;
        EXPECT_LE(firstZero, static_cast<int>(std::log(100.0) * tau) + 3) << sr;
    }
}

TEST(VocalChain, PowerOnCrossfadesWithTheSameTimeConstant) {
    const int sr = 48000;
    VocalChain chain;
    VocalChainSettings s = DefaultSettings(sr);
    s.power = 0.0;
    RunChain(chain, s, Program(sr, 1000), {1000});
    ASSERT_EQ(chain.PowerMix(), 0.0);
    s.power = 1.0;
    const double tau = 0.025 * sr;  // 1200 samples
    std::vector<double> p;
    const Stereo in = Program(sr, sr / 4);
    for (int i = 0; i < sr / 4; ++i) {
        Stereo one;
        one.l = {in.l[i]};
        one.r = {in.r[i]};
        RunChain(chain, s, one, {1});
        p.push_back(chain.PowerMix());
    }
    EXPECT_NEAR(p[0], 1.0 - std::exp(-1.0 / tau), 1e-12);
    EXPECT_NEAR(p[1199], 1.0 - std::exp(-1.0), 1e-9);
    const int firstOne = static_cast<int>(std::find(p.begin(), p.end(), 1.0) - p.begin()) + 1;
    EXPECT_GE(firstOne, static_cast<int>(std::log(100.0) * tau));
    EXPECT_LE(firstOne, static_cast<int>(std::log(100.0) * tau) + 2);
}

TEST(VocalChain, MonoMatchesStereoWithASilentRightInput) {
    const int sr = 44100;
    Stereo stereoIn = Program(sr, sr / 2);
    std::fill(stereoIn.r.begin(), stereoIn.r.end(), 0.0);
    Stereo monoIn;
    monoIn.l = stereoIn.l;
    VocalChain mono, stereo;
    VuLevel monoDrive, monoOut, stereoDrive, stereoOut;
    const Stereo a = RunChain(mono, DefaultSettings(sr), monoIn, {300}, true, &monoDrive, &monoOut);
    const Stereo b = RunChain(stereo, DefaultSettings(sr), stereoIn, {300}, false, &stereoDrive, &stereoOut);
    EXPECT_TRUE(SameBits(a.l, b.l));
    EXPECT_EQ(monoDrive.Level(), stereoDrive.Level());
    EXPECT_EQ(monoOut.Level(), stereoOut.Level());
}

TEST(VocalChain, LowToneSettlesAtTheLowBandCeilingTimesTrim) {
    // A full-scale 150 Hz tone lies below the 250 Hz split: the low band is
    // driven far into its 1.0 ceiling (about +33 dB over it) and trimmed by
    // 0.1, so it adds 0.1 x bass gain to the mix. The gain ripple of the held
    // and averaged peak over 1.5 ms keeps the peak within 5% of that.
    // Doubling the bass gain isolates the low band's share: +0.1.
    const int sr = 44100;
    const int frames = 3 * sr;
    Stereo in;
    in.l = Sine(150.0, 1.0, sr, frames);
    in.r = in.l;
    VocalChainSettings s = DefaultSettings(sr);
    VocalChain one, two;
    const Stereo a = RunChain(one, s, in, {1024});
    s.bassGain = 2.0;
    const Stereo b = RunChain(two, s, in, {1024});
    std::vector<double> diff(frames);
    for (int i = 0; i < frames; ++i) diff[i] = b.l[i] - a.l[i];
    EXPECT_NEAR(PeakAbs(diff, 2 * sr, frames), 0.1, 0.005);

    // At "Pres Comp" -5 dB the high band's leak at 150 Hz is small: the four
    // 250 Hz high-pass sections pass 0.3365 each (0.0128), times the low
    // cut's 0.838 and the drive 0.562, about 0.006 on top of the low band.
    s = DefaultSettings(sr);
    s.presCompGain = std::pow(10.0, -5.0 / 20.0);
    VocalChain three;
    const Stereo c = RunChain(three, s, in, {1024});
    const double peak = PeakAbs(c.l, 2 * sr, frames);
    EXPECT_GT(peak, 0.095);
    EXPECT_LT(peak, 0.112);
}

TEST(VocalChain, RateChangeReachesEveryFilterAndLimiter) {
    // A chain that ran at 44.1 kHz and then long enough at 96 kHz for every
    // state to settle answers an impulse like a chain that only ever ran at
    // 96 kHz; a filter or follower still on its old coefficients would not.
    const int sr = 96000;
    VocalChain moved, fresh;
    const VocalChainSettings s44 = DefaultSettings(44100);
    const VocalChainSettings s96 = DefaultSettings(sr);
    RunChain(moved, s44, Program(44100, 44100), {512});
    Stereo silence;
    silence.l.assign(10 * sr, 0.0);
    silence.r = silence.l;
    RunChain(moved, s96, silence, {4096});
    RunChain(fresh, s96, silence, {4096});
    Stereo impulse;
    impulse.l.assign(4000, 0.0);
    impulse.l[0] = 0.5;
    impulse.r = impulse.l;
    const Stereo a = RunChain(moved, s96, impulse, {4000});
    const Stereo b = RunChain(fresh, s96, impulse, {4000});
    const double peak = PeakAbs(b.l, 0, 4000);
    ASSERT_GT(peak, 1e-3);
    for (int i = 0; i < 4000; ++i) ASSERT_NEAR(a.l[i], b.l[i], 1e-9 * peak) << i;
}

TEST(VocalChain, FreshInstanceFadesIn) {
    // Every smoother starts at its lo and every limiter gain at 0: p rises
    // from 0 with 25 ms and the wet path opens with the release times, so
    // the first processed samples are nearly silent. The dry share is the
    // input 130 samples (the latency) earlier.
    const int sr = 44100;
    const int latency = 130;
    VocalChain chain;
    const VocalChainSettings s = DefaultSettings(sr);
    const std::vector<double> tone = Sine(1000.0, 0.5, sr, sr);
    double wetEarly = 0.0;
    double wetLate = 0.0;
    for (int i = 0; i < sr; ++i) {
        double l = tone[i], r = tone[i], outL = 0, outR = 0;
        double* ins[2] = {&l, &r};
        double* outs[2] = {&outL, &outR};
        chain.Process(ins, 2, outs, 2, 1, s, nullptr, nullptr);
        const double p = chain.PowerMix();
        if (i == 0) {
            EXPECT_NEAR(p, 1.0 - std::exp(-1.0 / 1102.5), 1e-15);
        }
        const double dry = i >= latency ? tone[i - latency] : 0.0;
        const double wet = std::fabs(outL - (1.0 - p) * dry);  // p x processed
        if (i < 20) wetEarly = std::max(wetEarly, wet);
        if (i > sr / 2) wetLate = std::max(wetLate, wet);
    }
    EXPECT_LT(wetEarly, 1e-3);
    EXPECT_GT(wetLate, 0.1);
}

TEST(VocalChain, NoSampleRatePassesTheInputThrough) {
    VocalChain chain;
    VocalChainSettings s = DefaultSettings(0);
    const Stereo in = Program(44100, 500);
    for (int rate : {0, -44100}) {
        SetRate(s, rate);
        const Stereo out = RunChain(chain, s, in, {100});
        EXPECT_TRUE(SameBits(out.l, in.l)) << rate;
        EXPECT_TRUE(SameBits(out.r, in.r)) << rate;
        EXPECT_EQ(chain.PowerMix(), 1.0) << rate;
    }
    // Frames <= 0 touch nothing.
    double x = 1.0, y = 7.0;
    double* ins[1] = {&x};
    double* outs[1] = {&y};
    SetRate(s, 44100);
    chain.Process(ins, 1, outs, 1, 0, s, nullptr, nullptr);
    chain.Process(ins, 1, outs, 1, -5, s, nullptr, nullptr);
    EXPECT_EQ(y, 7.0);
}

TEST(VocalChain, ProcessesInPlace) {
    const int sr = 44100;
    const Stereo in = Program(sr, 5000);
    VocalChain a, b;
    const Stereo expected = RunChain(a, DefaultSettings(sr), in, {256});
    Stereo buf = in;
    for (int pos = 0; pos < 5000; pos += 256) {
        const int n = std::min(256, 5000 - pos);
        double* io[2] = {buf.l.data() + pos, buf.r.data() + pos};
        b.Process(io, 2, io, 2, n, DefaultSettings(sr), nullptr, nullptr);
    }
    EXPECT_TRUE(SameBits(buf.l, expected.l));
    EXPECT_TRUE(SameBits(buf.r, expected.r));

    // In place with the channels crossed: each output is the other input.
    VocalChain c;
    Stereo crossed = in;
    for (int pos = 0; pos < 5000; pos += 256) {
        const int n = std::min(256, 5000 - pos);
        double* ins[2] = {crossed.l.data() + pos, crossed.r.data() + pos};
        double* outs[2] = {crossed.r.data() + pos, crossed.l.data() + pos};
        c.Process(ins, 2, outs, 2, n, DefaultSettings(sr), nullptr, nullptr);
    }
    EXPECT_TRUE(SameBits(crossed.r, expected.l));
    EXPECT_TRUE(SameBits(crossed.l, expected.r));
}

}  // namespace
