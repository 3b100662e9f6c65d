// NaN and infinite input, and the range of sample rates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "chain_harness.h"

using namespace chain_test;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Stereo Clean(int sr, int frames, unsigned seed) {
    Stereo in;
    in.l = Sine(220.0, 0.5, sr, frames);
    in.r = Noise(0.3, frames, seed);
    for (int i = 0; i < frames; ++i) in.l[i] += 0.1 * in.r[i];
    return in;
}

TEST(VocalChainBadInput, RecoversFromNonFiniteBurstsWithin50Ms) {
    // After the burst, clean input must give finite output within 50 ms and
    // from then on; a second later the output must carry the signal again
    // (not stuck silent) and both meters must show a finite, non-zero level.
    struct Case {
        double value;
        int length;
        int channels;  // 1 left, 2 right, 3 both
        char voicing;
    };
    std::vector<Case> cases;
    for (double v : {kNaN, kInf, -kInf}) {
        for (int length : {1, 64, 4410}) {
            for (int ch : {1, 2, 3}) cases.push_back({v, length, ch, 'A'});
        }
        cases.push_back({v, 100, 3, 'D'});
    }
    const int sr = 44100;
    const int start = sr / 2;
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.value) + " x" + std::to_string(c.length) + " on " +
                                 std::to_string(c.channels) + ", voicing " + c.voicing;
        VocalChain chain;
        VuLevel drive, output;
        VocalChainSettings s = DefaultSettings(sr);
        SetVoicing(s, c.voicing);
        const int frames = start + c.length + 2 * sr;
        Stereo in = Clean(sr, frames, 5);
        for (int i = start; i < start + c.length; ++i) {
            if (c.channels & 1) in.l[i] = c.value;
            if (c.channels & 2) in.r[i] = c.value;
        }
        const Stereo out = RunChain(chain, s, in, {512}, false, &drive, &output);
        const int clean = start + c.length + sr / 20;
        int bad = 0;
        for (int i = clean; i < frames; ++i) bad += !std::isfinite(out.l[i]) || !std::isfinite(out.r[i]);
        EXPECT_EQ(bad, 0) << what;
        EXPECT_GT(PeakAbs(out.l, frames - sr / 4, frames), 0.05) << what;
        EXPECT_GT(PeakAbs(out.r, frames - sr / 4, frames), 0.02) << what;
        EXPECT_TRUE(std::isfinite(drive.Level()) && drive.Level() > 0.0) << what;
        EXPECT_TRUE(std::isfinite(output.Level()) && output.Level() > 0.0) << what;
    }
}

TEST(VocalChainRates, EveryRateFrom8To384KilohertzGivesFiniteSound) {
    for (int sr : {8000, 11025, 22050, 32000, 44100, 88200, 176400, 192000, 384000}) {
        for (char voicing : {'A', 'D'}) {
            VocalChain chain;
            VuLevel drive, output;
            VocalChainSettings s = DefaultSettings(sr);
            SetVoicing(s, voicing);
            const int frames = sr;
            const Stereo out = RunChain(chain, s, Clean(sr, frames, 9), {1024}, false, &drive, &output);
            int bad = 0;
            for (int i = 0; i < frames; ++i) bad += !std::isfinite(out.l[i]) || !std::isfinite(out.r[i]);
            EXPECT_EQ(bad, 0) << sr << " Hz";
            const double peak = PeakAbs(out.l, frames / 2, frames);
            EXPECT_GT(peak, 0.05) << sr << " Hz";
            EXPECT_LT(peak, 10.0) << sr << " Hz";
            EXPECT_TRUE(std::isfinite(drive.Level()) && std::isfinite(output.Level())) << sr << " Hz";
        }
    }
}

// A broken host or a hand-made file may announce any rate. Up to twice the
// highest corner frequency the glides can reach (300 Hz) the filters cannot
// be relied on: the chain passes the input through, as with no rate at all,
// and above it runs. No rate may turn finite input into NaN or infinity.
TEST(VocalChainRates, NoRateFromOneHertzUpTurnsFiniteInputNonFinite) {
    std::vector<int> rates;
    for (int sr = 1; sr <= 1200; ++sr) rates.push_back(sr);
    for (double sr = 1250; sr <= 768000; sr *= 1.37) rates.push_back(static_cast<int>(sr));
    rates.push_back(768000);
    const int frames = 300;
    for (int sr : rates) {
        for (bool presence : {true, false}) {
            VocalChain chain;
            VocalChainSettings s = DefaultSettings(sr);
            if (!presence) s.crossoverHz = 21.0;
            const Stereo in = Clean(sr > 100 ? sr : 100, frames, 5);
            const Stereo out = RunChain(chain, s, in, {64});
            int bad = 0;
            for (int i = 0; i < frames; ++i) bad += !std::isfinite(out.l[i]) || !std::isfinite(out.r[i]);
            ASSERT_EQ(bad, 0) << sr << " Hz, presence " << presence;
            if (sr <= 600) {
                EXPECT_EQ(out.l, in.l) << sr << " Hz";
                EXPECT_EQ(out.r, in.r) << sr << " Hz";
            } else {
                EXPECT_NE(out.l, in.l) << sr << " Hz";
            }
        }
    }
}

}  // namespace
