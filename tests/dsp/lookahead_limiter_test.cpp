// LookaheadLimiter: window length, delay, held peak and gain shaping.
#include <gtest/gtest.h>

#include <cmath>
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

TEST(LookaheadLimiter, RescanHoldsTheLaterOfEqualPeaks) {
    // 4 ms at 1000 Hz: a ring of 4 slots. Slots get 5, 3, 3, 1; when 2
    // overwrites the held 5 in slot 0 the rescan finds 3 twice and keeps
    // slot 2.
    LookaheadLimiter lim;
    for (double x : {5.0, 3.0, 3.0, 1.0}) lim.Process(x, 0.0, 1.0, 0.0, 0.0, 4.0, 1000);
    ASSERT_EQ(lim.HeldPeak(), 5.0);
    ASSERT_EQ(lim.HeldIndex(), 0);
    lim.Process(2.0, 0.0, 1.0, 0.0, 0.0, 4.0, 1000);
    EXPECT_EQ(lim.HeldPeak(), 3.0);
    EXPECT_EQ(lim.HeldIndex(), 2);
    // A new sample at least as large as the held peak takes its slot at once.
    lim.Process(0.0, 3.0, 1.0, 0.0, 0.0, 4.0, 1000);
    EXPECT_EQ(lim.HeldPeak(), 3.0);
    EXPECT_EQ(lim.HeldIndex(), 1);
}

TEST(LookaheadLimiter, HeldPeakFollowsTheForwardWalkRule) {
    // A model of the peak hold written from the rules: store m, take it as
    // the held peak when m >= held, otherwise rescan by walking the ring
    // forward with ">= best" from best 0 when the held slot was overwritten.
    // Coarse random levels make many ties; NaN samples are mixed in. The
    // block must hold the same peak in the same slot on every sample.
    for (double ms : {4.0, 5.0, 9.0, 72.0}) {  // rings of 4, 5, 9 and 72 slots at 1 kHz
        LookaheadLimiter lim;
        const int n = LookaheadLimiter::LookaheadLength(ms, 1000);
        std::vector<double> ring(n, 0.0);
        double held = 0.0;
        int heldIndex = 0, pos = 0;
        unsigned x = 12345;
        for (int i = 0; i < 20000; ++i) {
            x = x * 1103515245u + 12345u;
            const unsigned r = (x >> 16) % 64;
            const double m = r == 0 ? std::numeric_limits<double>::quiet_NaN() : (r % 8) * 0.25;
            if (m >= held) {
                ring[pos] = m;
                heldIndex = pos;
                held = m;
            } else {
                ring[pos] = m;
                if (heldIndex == pos) {
                    double best = 0.0;
                    for (int k = 0; k < n; ++k) {
                        if (ring[k] >= best) {
                            best = ring[k];
                            heldIndex = k;
                        }
                    }
                    held = best;
                }
            }
            pos = (pos + 1) % n;
            lim.Process(m, 0.0, 1.0, 0.0, 10.0, ms, 1000);
            ASSERT_EQ(lim.HeldPeak(), held) << "ring " << n << ", sample " << i;
            ASSERT_EQ(lim.HeldIndex(), heldIndex) << "ring " << n << ", sample " << i;
        }
    }
}

TEST(LookaheadLimiter, ShorterLookaheadDropsTheOldHeldPeak) {
    // A peak of 4 held in slot 60 of a 66-slot ring. After the switch to an
    // 8-slot ring that slot no longer exists; the gain must recover once the
    // new window and average hold only quiet samples.
    LookaheadLimiter lim;
    for (int i = 0; i < 60; ++i) lim.Process(0.5, 0.5, 1.0, 0.0, 0.0, 1.5, 44100);
    lim.Process(4.0, 4.0, 1.0, 0.0, 0.0, 1.5, 44100);
    ASSERT_EQ(lim.HeldIndex(), 60);
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
