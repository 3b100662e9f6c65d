// BiquadCascade: coefficient design, the q floor and cache, the periodic
// scrub of non-finite state, and the response of stacked sections.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "plugin/dsp/biquad_cascade.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The design written out again from the formulas, independently of the
// block's own code.
BiquadCoefficients Reference(double f, double q, double fs, int type) {
    const double w = f * kPi / fs;
    const double k = 5.0 * (21.0 * w - 2.0 * w * w * w) / (105.0 - 45.0 * w * w + w * w * w * w);
    const double norm = 1.0 / (1.0 + k / q + k * k);
    BiquadCoefficients c;
    c.b1 = 2.0 * (k * k - 1.0) * norm;
    c.b2 = (1.0 - k / q + k * k) * norm;
    c.a0 = type == 0 ? k * k * norm : norm;
    c.a1 = type == 0 ? 2.0 * c.a0 : -2.0 * norm;
    c.a2 = c.a0;
    return c;
}

std::complex<double> Response(const BiquadCoefficients& c, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * f / fs);  // z^-1
    return (c.a0 + c.a1 * z1 + c.a2 * z1 * z1) / (1.0 + c.b1 * z1 + c.b2 * z1 * z1);
}

void ExpectCoefficients(const BiquadCoefficients& got, const BiquadCoefficients& want, double tol) {
    EXPECT_NEAR(got.a0, want.a0, tol);
    EXPECT_NEAR(got.a1, want.a1, tol);
    EXPECT_NEAR(got.a2, want.a2, tol);
    EXPECT_NEAR(got.b1, want.b1, tol);
    EXPECT_NEAR(got.b2, want.b2, tol);
}

TEST(BiquadCascade, CoefficientsFollowTheDesignFormulas) {
    struct Case {
        double f, q, fs;
        int type;
    };
    const Case cases[] = {{80, 0.7, 44100, 1}, {250, 0.7, 44100, 0},  {250, 0.7, 44100, 1},
                          {21, 0.7, 8000, 0},  {300, 2.0, 384000, 1}, {1000, 0.7, 48000, 0}};
    for (const Case& c : cases) {
        BiquadCascade b;
        b.Process(0.0, c.f, c.q, 0.0, c.fs, c.type, 0);
        ExpectCoefficients(b.Coefficients(), Reference(c.f, c.q, c.fs, c.type), 1e-14);
        // Unity gain in the pass band: DC for low-pass, Nyquist for high-pass.
        const BiquadCoefficients& k = b.Coefficients();
        const double pass =
            c.type == 0 ? (k.a0 + k.a1 + k.a2) / (1.0 + k.b1 + k.b2) : (k.a0 - k.a1 + k.a2) / (1.0 - k.b1 + k.b2);
        EXPECT_NEAR(pass, 1.0, 1e-9) << c.f << " Hz";
    }
    // The [3/4] approximant's error grows as about 1.1e-5 w^9.
    for (double w : {0.001, 0.01, 0.1, 0.3}) EXPECT_NEAR(PadeTan(w), std::tan(w), 1e-16 + 2e-5 * std::pow(w, 9));
}

TEST(BiquadCascade, QBelowTheFloorDesignsWithPoint1ButCachesTheGivenQ) {
    BiquadCascade b;
    b.Process(0.0, 250, 0.05, 0.0, 44100, 0, 0);
    ExpectCoefficients(b.Coefficients(), Reference(250, 0.1, 44100, 0), 1e-15);
    EXPECT_EQ(b.CachedQ(), 0.05);  // a repeated 0.05 is no change
    b.Process(0.0, 250, 0.05, 0.0, 44100, 0, 0);
    EXPECT_EQ(b.CachedQ(), 0.05);
}

TEST(BiquadCascade, EverySettingTriggersARedesignOnlyBeyond1e10) {
    // Start from (1000 Hz, q 0.7, 0 dB, 48000 Hz, low-pass), then change one
    // setting. The coefficients follow only changes of 1e-10 or more.
    struct Case {
        const char* what;
        double f, q, gainDb, fs;
        int type;
        bool redesign;
    };
    const Case cases[] = {
        {"rate", 1000, 0.7, 0, 96000, 0, true},
        {"type", 1000, 0.7, 0, 48000, 1, true},
        {"frequency", 1001, 0.7, 0, 48000, 0, true},
        {"q", 1000, 0.8, 0, 48000, 0, true},
        {"gain", 1000, 0.7, 1e-9, 48000, 0, true},
        {"tiny frequency", 1000 + 5e-11, 0.7, 0, 48000, 0, false},
        {"tiny rate", 1000, 0.7, 0, 48000 + 5e-11, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BiquadCascade b;
        b.Process(0.0, 1000, 0.7, 0.0, 48000, 0, 0);
        const BiquadCoefficients before = b.Coefficients();
        b.Process(0.0, c.f, c.q, c.gainDb, c.fs, c.type, 0);
        const BiquadCoefficients& after = b.Coefficients();
        if (c.redesign) {
            ExpectCoefficients(after, Reference(c.f, c.q, c.fs, c.type), 1e-15);
        } else {
            EXPECT_EQ(after.a0, before.a0);
            EXPECT_EQ(after.b1, before.b1);
            EXPECT_EQ(after.b2, before.b2);
        }
    }
}

TEST(BiquadCascade, StackedSectionsGiveThePowerOfOneSection) {
    // The impulse response of 1..4 sections, transformed at a few
    // frequencies, against H(e^jw)^sections from the coefficients.
    struct Case {
        double f;
        int type;
    };
    const double fs = 44100;
    for (const Case& c : {Case{250, 0}, Case{250, 1}, Case{80, 1}}) {
        for (int extra = 0; extra <= 3; ++extra) {
            BiquadCascade b;
            std::vector<double> h(32768);
            for (size_t i = 0; i < h.size(); ++i)
                h[i] = b.Process(i == 0 ? 1.0 : 0.0, c.f, 0.7, 0.0, fs, c.type, extra);
            const BiquadCoefficients k = Reference(c.f, 0.7, fs, c.type);
            for (double probe : {40.0, 150.0, 250.0, 1000.0, 8000.0}) {
                std::complex<double> dft = 0.0;
                for (size_t i = 0; i < h.size(); ++i) dft += h[i] * std::polar(1.0, -2.0 * kPi * probe * i / fs);
                const std::complex<double> want = std::pow(Response(k, probe, fs), extra + 1);
                EXPECT_NEAR(std::abs(dft - want), 0.0, 1e-9)
                    << c.f << " Hz type " << c.type << ", " << extra + 1 << " sections at " << probe << " Hz";
            }
        }
    }
    // Four sections at the corner: |H| = q per section, so 0.7^4.
    const BiquadCoefficients k = Reference(250, 0.7, fs, 0);
    EXPECT_NEAR(std::pow(std::abs(Response(k, 250, fs)), 4), std::pow(0.7, 4), 1e-3);
}

TEST(BiquadCascade, NonFiniteStateIsScrubbedOnTheTwelveCallCheck) {
    // Checks run before the third call and every twelve calls after (calls
    // 3, 15, 27, ...). A bad sample on call c keeps the output non-finite
    // until the next check after it, then the state restarts from zero.
    struct Case {
        int call;
        int badOutputs;
    };
    const Case cases[] = {{1, 2}, {2, 1}, {3, 12}, {4, 11}, {14, 1}, {15, 12}, {26, 1}};
    const double bads[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (double bad : bads) {
        for (const Case& c : cases) {
            BiquadCascade b;
            int badOutputs = 0;
            bool recovered = false;
            for (int call = 1; call <= 60; ++call) {
                const double x = call == c.call ? bad : 0.0;
                const double y = b.Process(x, 250, 0.7, 0.0, 44100, 1, 3);
                if (!std::isfinite(y)) {
                    ++badOutputs;
                    EXPECT_FALSE(recovered) << "non-finite again after the scrub";
                } else if (call > c.call) {
                    recovered = true;
                    EXPECT_EQ(y, 0.0) << "zero input after the scrub gives zero";
                }
            }
            EXPECT_EQ(badOutputs, c.badOutputs) << "bad sample " << bad << " on call " << c.call;
        }
    }
}

// The run-at-once form of the scrub schedule, against one ScrubDue per call:
// from every counter value the schedule reaches, over runs of every length a
// slice can have and past it, the first due call and the counter left behind
// must agree.
TEST(BiquadCascade, ScrubScheduleOfARunEqualsOneCheckPerCall) {
    for (int start = -1; start <= velmor_dsp::kScrubInterval; ++start) {
        for (int n = 0; n <= 70; ++n) {
            int counter = start;
            int first = -1;
            for (int call = 0; call < n; ++call) {
                if (velmor_dsp::ScrubDue(counter) && first < 0) first = call;
            }
            if (first >= 0) {
                EXPECT_EQ(velmor_dsp::ScrubFirst(start), first) << "counter " << start;
            } else {
                EXPECT_GE(velmor_dsp::ScrubFirst(start), n) << "counter " << start << ", " << n << " calls";
            }
            EXPECT_EQ(velmor_dsp::ScrubCounterAfter(start, n), counter) << "counter " << start << ", " << n << " calls";
        }
    }
}

}  // namespace
