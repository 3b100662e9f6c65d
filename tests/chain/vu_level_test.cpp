// VuLevel: needle ballistics, the +6 dB stop, bad values, and the meters as
// the chain drives them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "chain_harness.h"
#include "plugin/vu_level.h"

using namespace chain_test;

namespace {

TEST(VuLevel, NeedleClimbsWith300MsAndStopsAtTheInputOrTheCeiling) {
    // A constant input held by the peak follower; the needle approaches it
    // from below as 1 - e^(-t / 300 ms). Inputs over +6 dB stop at 1.99526.
    struct Case {
        double x;
        double settles;
    };
    for (const Case& c : {Case{1.0, 1.0}, Case{1.99526, 1.99526}, Case{5.0, 1.99526}, Case{-0.5, 0.5}}) {
        VuLevel meter;
        double previous = 0.0;
        for (int i = 1; i <= 3 * 44100; ++i) {
            meter.SetLevel(c.x, 44100);
            const double level = meter.Level();
            ASSERT_GE(level, previous);
            ASSERT_LE(level, c.settles);
            previous = level;
            if (i == 13230) {
                EXPECT_NEAR(level, c.settles * (1.0 - std::exp(-1.0)), 1e-9 * c.settles) << c.x;
            }
        }
        EXPECT_NEAR(meter.Level(), c.settles, c.settles * 1e-4) << c.x;  // e^-10 short of it
    }
    VuLevel hot;
    for (int i = 0; i < 44100; ++i) hot.SetLevel(1.99526, 44100);
    EXPECT_GT(hot.Level(), 1.0) << "+6 dB lights the over-range LED";
}

TEST(VuLevel, NeedleDropsAsFastAsThePeakDecays) {
    VuLevel meter;
    for (int i = 0; i < 20 * 44100; ++i) meter.SetLevel(1.0, 44100);
    ASSERT_NEAR(meter.Level(), 1.0, 1e-12);
    for (int i = 0; i < 13230; ++i) meter.SetLevel(0.0, 44100);
    EXPECT_NEAR(meter.Level(), std::exp(-1.0), 1e-9);
}

TEST(VuLevel, NaNDoesNotStickTheNeedle) {
    VuLevel meter;
    for (int i = 0; i < 1000; ++i) meter.SetLevel(0.8, 44100);
    meter.SetLevel(std::numeric_limits<double>::quiet_NaN(), 44100);
    EXPECT_FALSE(std::isnan(meter.Level()));
    for (int i = 0; i < 44100; ++i) meter.SetLevel(0.8, 44100);
    EXPECT_GT(meter.Level(), 0.7);
}

TEST(VuLevel, CarriedBallisticsOfTwoMetersEqualOneLevelAtATime) {
    // The chain feeds its two meters together, their ballistics carried in
    // another block's loop; both must be SetLevel sample by sample.
    std::vector<double> a = Noise(1.5, 5000, 3), b = Sine(440.0, 2.5, 44100, 5000);
    a[100] = std::numeric_limits<double>::quiet_NaN();
    b[2000] = std::numeric_limits<double>::infinity();
    VuLevel oneA, oneB, partsA, partsB;
    for (int pos = 0; pos < 5000; pos += 100) {
        for (int i = pos; i < pos + 100; ++i) {
            oneA.SetLevel(a[i], 44100);
            oneB.SetLevel(b[i], 44100);
        }
        std::vector<double> ca(&a[pos], &a[pos] + 100), cb(&b[pos], &b[pos] + 100);
        for (int i = 0; i < 100; ++i) ca[i] = VuLevel::Clamp(ca[i]), cb[i] = VuLevel::Clamp(cb[i]);
        EnvelopeFollower::SeriesPair needles = VuLevel::Ballistics(partsA, partsB, 44100);
        for (int i = 0; i < 100; ++i) needles.Step(ca[i], cb[i], ca[i], cb[i]);
        needles.Finish();
        partsA.Publish(ca[99]);
        partsB.Publish(cb[99]);
        ASSERT_EQ(oneA.Level(), partsA.Level()) << pos;
        ASSERT_EQ(oneB.Level(), partsB.Level()) << pos;
    }
}

TEST(VuLevel, ChainWritesPowerStateAndLevelsThatDieToExactZero) {
    // Signal, then 4 minutes of silence at 8 kHz: the 300 ms peak decay
    // passes 1e-308 after about 709 x 2400 samples. The needles must land
    // on 0 rather than creep through subnormal values.
    const int sr = 8000;
    VocalChain chain;
    VuLevel drive, output;
    VocalChainSettings s = DefaultSettings(sr);
    Stereo in;
    in.l = Sine(1000.0, 0.7, sr, sr);
    in.r = in.l;
    RunChain(chain, s, in, {1000}, false, &drive, &output);
    EXPECT_TRUE(drive.mPowerOn.load());
    EXPECT_GT(drive.Level(), 0.5);
    EXPECT_GT(output.Level(), 0.3);
    Stereo silence;
    silence.l.assign(240 * sr, 0.0);
    silence.r = silence.l;
    s.power = 0.0;
    RunChain(chain, s, silence, {4096}, false, &drive, &output);
    EXPECT_FALSE(drive.mPowerOn.load());
    EXPECT_FALSE(output.mPowerOn.load());
    EXPECT_EQ(drive.Level(), 0.0);
    EXPECT_EQ(output.Level(), 0.0);
}

}  // namespace
