// LookaheadLimiter: window length, delay, held peak, gain shaping and the
// ceiling it guarantees.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <vector>

#include "plugin/dsp/lookahead_limiter.h"

namespace {

TEST(LookaheadLimiter, WindowLengthIsTruncatedSamples) {
    struct Case {
        double ms;
        int rate;
        int n;
    };
    const Case cases[] = {
        {1.5, 44100, 66},    // 66.15
        {0.2, 44100, 8},     // 8.82
        {1.0, 44100, 44},    // 44.1
        {1.5, 48000, 72},    // exact
        {1.5, 8000, 12},     // exact
        {0.2, 8000, 1},      // 1.6
        {1.5, 384000, 576},  // exact
        {0.0, 44100, 0},     // off
        {5e-11, 44100, 0},   // below 1e-10 ms counts as off
        {1.5, 0, 0},         // no rate yet
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LookaheadLimiter::LookaheadLength(c.ms, c.rate), c.n) << c.ms << " ms at " << c.rate;
    }
    EXPECT_EQ(LookaheadLimiter::LookaheadLength(std::numeric_limits<double>::quiet_NaN(), 44100), 0);
    EXPECT_EQ(LookaheadLimiter::LookaheadLength(1e300, 44100), 0);
}

TEST(LookaheadLimiter, ZeroLookaheadLimitsThePeakOnItsOwnSample) {
    // Release and attack 0: the gain is the target itself. After quiet
    // samples (gain 1) a peak of 2.0 against threshold 1.0 gives gain 0.5
    // and output 1.0 on that sample; both channels share the gain of the
    // larger one.
    struct Case {
        double inL, inR, gain, outL, outR;
    };
    const Case cases[] = {
        {2.0, 0.0, 0.5, 1.0, 0.0},
        {0.5, -4.0, 0.25, 0.125, -1.0},
        {-3.0, 1.5, 1.0 / 3.0, -1.0, 0.5},
        {0.9, 0.9, 1.0, 0.9, 0.9},  // below the threshold
    };
    for (const Case& c : cases) {
        LookaheadLimiter lim;
        for (int i = 0; i < 4; ++i) lim.Process(0.1, 0.1, 1.0, 0.0, 0.0, 0.0, 44100);
        ASSERT_EQ(lim.Gain(), 1.0);
        EXPECT_EQ(lim.Process(c.inL, c.inR, 1.0, 0.0, 0.0, 0.0, 44100), c.outR);
        EXPECT_DOUBLE_EQ(lim.Gain(), c.gain);
        EXPECT_DOUBLE_EQ(lim.OutL(), c.outL);
        EXPECT_DOUBLE_EQ(lim.OutR(), c.outR);
    }
}

TEST(LookaheadLimiter, AudioIsDelayedByTheWindowMinusOne) {
    // 1.5 ms at 44100 Hz: n = 66, delay 65. A quiet impulse (no limiting)
    // comes out 65 samples later; by then 65 unit targets fill the average,
    // so with instant release the gain is exactly 1.
    LookaheadLimiter lim;
    for (int i = 0; i < 200; ++i) {
        lim.Process(i == 0 ? 0.5 : 0.0, i == 0 ? -0.25 : 0.0, 1.0, 0.0, 0.0, 1.5, 44100);
        if (i == 65) {
            EXPECT_EQ(lim.OutL(), 0.5);
            EXPECT_EQ(lim.OutR(), -0.25);
        } else {
            EXPECT_EQ(lim.OutL(), 0.0) << i;
        }
    }
}

TEST(LookaheadLimiter, HeldPeakIsTheLargestNumberInTheWindow) {
    // 4 ms at 1000 Hz: a window of 4 samples. NaN never holds; a window of
    // nothing but NaN holds 0.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double in;
        double held;
    };
    const Case cases[] = {{5.0, 5.0}, {3.0, 5.0}, {-3.0, 5.0}, {1.0, 5.0}, {2.0, 3.0}, {0.0, 3.0}, {nan, 2.0},
                          {nan, 2.0}, {nan, 0.0}, {nan, 0.0},  {0.5, 0.5}, {nan, 0.5}, {nan, 0.5}, {7.0, 7.0}};
    LookaheadLimiter lim;
    int i = 0;
    for (const Case& c : cases) {
        lim.Process(c.in, 0.0, 1.0, 0.0, 0.0, 4.0, 1000);
        EXPECT_EQ(lim.HeldPeak(), c.held) << "sample " << i++;
    }
}

// With attack 0 a look-ahead limiter is a brick wall: every output sample is
// a delayed input times a gain no larger than the mean of the targets made
// while that input was in the window, and each of them is at most threshold
// / |input|. Measured on inputs meant to break it: noise with sudden loud
// bursts, single huge impulses, dense clipping, a fast sweep with a rising
// envelope, at every Mode's look-ahead (1.5, 1.0 and 0.2 ms, and none), at
// 44.1, 48 and 96 kHz, for both thresholds the chain uses and releases from
// instant to slow. The tolerance covers rounding only. The average's running
// sum is never summed afresh, so its two roundings per sample add up over the
// run and the mean drifts from the exact one: here by up to 4e-10 of the
// ceiling after 20000 samples (longer runs drift further, far below anything
// audible). A fault in the look-ahead (a window or delay off by one sample)
// overshoots by a whole peak's worth instead.
TEST(LookaheadLimiter, WithNoAttackNoOutputExceedsTheThreshold) {
    std::vector<std::vector<double>> signals;
    unsigned x = 99;
    auto random = [&x] {
        x = x * 1103515245u + 12345u;
        return static_cast<double>(x >> 8) / 16777216.0 - 0.5;
    };
    const int frames = 20000;
    std::vector<double> bursts(frames), impulses(frames, 0.01), clipped(frames), sweep(frames);
    for (int i = 0; i < frames; ++i) {
        bursts[i] = random() * ((i / 700) % 3 == 1 ? 40.0 : 0.3);
        if (i % 1237 == 0) impulses[i] = (i % 2 ? -1.0 : 1.0) * std::pow(10.0, (i / 1237) % 7);
        clipped[i] = random() > 0.0 ? 3.0 : -3.0;
        sweep[i] = (1.0 + i * 0.001) * std::sin(i * i * 1e-5);
    }
    signals = {bursts, impulses, clipped, sweep};
    for (int rate : {44100, 48000, 96000}) {
        for (double lookahead : {1.5, 1.0, 0.2, 0.0}) {
            for (double threshold : {1.0, 10.0}) {
                for (double release : {0.0, 5.0, 280.0}) {
                    for (size_t s = 0; s < signals.size(); ++s) {
                        const std::vector<double>& l = signals[s];
                        const std::vector<double>& r = signals[(s + 1) % signals.size()];
                        LookaheadLimiter lim;
                        std::vector<double> outL(frames), outR(frames);
                        for (int at = 0; at < frames; at += 500) {
                            lim.ProcessBlock(&l[at], &r[at], &outL[at], &outR[at], 500, threshold, 0.0, release,
                                             lookahead, rate);
                        }
                        double peak = 0.0;
                        for (int i = 0; i < frames; ++i)
                            peak = std::fmax(peak, std::fmax(std::fabs(outL[i]), std::fabs(outR[i])));
                        ASSERT_LE(peak, threshold * (1.0 + 1e-8))
                            << std::setprecision(17) << peak << " at " << rate << " Hz, " << lookahead
                            << " ms, threshold " << threshold << ", release " << release << ", signal " << s;
                    }
                }
            }
        }
    }
}

TEST(LookaheadLimiter, ShorterLookaheadDropsTheOldHeldPeak) {
    // A peak of 4 held in slot 60 of a 66-slot ring. After the switch to an
    // 8-slot ring that slot no longer exists (the ring is cleared); the gain must recover once the
    // new window and average hold only quiet samples.
    LookaheadLimiter lim;
    for (int i = 0; i < 60; ++i) lim.Process(0.5, 0.5, 1.0, 0.0, 0.0, 1.5, 44100);
    lim.Process(4.0, 4.0, 1.0, 0.0, 0.0, 1.5, 44100);
    ASSERT_EQ(lim.HeldPeak(), 4.0);
    for (int i = 0; i < 50; ++i) lim.Process(0.5, 0.5, 1.0, 0.0, 0.0, 0.2, 44100);
    EXPECT_EQ(lim.HeldPeak(), 0.5);
    EXPECT_EQ(lim.Gain(), 1.0);  // mean of seven unit targets, instant release
}

TEST(LookaheadLimiter, InstantReleaseJumpsToTheRisingAverage) {
    // n = 8 at 44100 Hz (0.2 ms), attack 1 ms. After quiet samples a single
    // 4.0 peak is held for 8 samples (targets 0.25), then targets are 1
    // again. The average of the last 7 targets climbs 0.357, 0.464, 0.571,
    // 0.679, 0.786, 0.893, 1; the gain, still falling with the 1 ms attack
    // (c = e^(-1/44.1) per sample) from 1 towards 0.25, is about 0.884 by
    // hand when the average passes it. With release 0 the gain then equals
    // the average (6.25/7, then 1); with 160 ms it creeps up from 0.884.
    struct Case {
        double releaseMs;
        bool instant;
    };
    for (const Case& c : {Case{0.0, true}, Case{160.0, false}}) {
        LookaheadLimiter lim;
        std::vector<double> gains;
        for (int i = 0; i < 3 * 44100; ++i) lim.Process(0.5, 0.0, 1.0, 1.0, c.releaseMs, 0.2, 44100);
        for (int i = 0; i < 20; ++i) {
            lim.Process(i == 0 ? 4.0 : 0.5, 0.0, 1.0, 1.0, c.releaseMs, 0.2, 44100);
            gains.push_back(lim.Gain());
        }
        EXPECT_GT(gains[12], 0.87);
        EXPECT_LT(gains[12], 0.90);
        if (c.instant) {
            EXPECT_NEAR(gains[13], 6.25 / 7.0, 1e-15);
            EXPECT_EQ(gains[14], 1.0);
        } else {
            EXPECT_LT(gains[14], 0.89);
        }
    }
}

}  // namespace
