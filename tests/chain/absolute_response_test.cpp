// The chain measured against the world: filter attenuation at given
// frequencies, glide times, which channel the meters follow and the power
// fade inside long blocks. Every expected value is worked out here from the
// filter design's analog prototype, the smoothers' time constant or plain
// arithmetic, never from the chain's own output.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "chain_harness.h"
#include "plugin/velmor.h"

using namespace chain_test;

namespace {

const double kPi = std::acos(-1.0);

// One second-order section of the design, q 0.7: the bilinear transform of
// s^2 / (s^2 + s/q + 1) (high-pass) or 1 / (s^2 + s/q + 1) (low-pass) with
// the corner pre-warped to tan(pi fc / fs). At frequency f the analog
// prototype is met at Omega = tan(pi f / fs) / tan(pi fc / fs).
double SectionGain(double f, double fc, double fs, bool highPass) {
    const double q = 0.7;
    const double omega = std::tan(kPi * f / fs) / std::tan(kPi * fc / fs);
    const double denominator = std::hypot(1.0 - omega * omega, omega / q);
    return (highPass ? omega * omega : 1.0) / denominator;
}

// Amplitude of a steady sine of frequency f in y[from, from + fs): one
// second, a whole number of cycles, so the lock-in sums are exact.
double Amplitude(const std::vector<double>& y, int from, double f, int fs) {
    double i = 0.0, q = 0.0;
    for (int n = 0; n < fs; ++n) {
        const double phase = 2.0 * kPi * f * n / fs;
        i += y[from + n] * std::sin(phase);
        q += y[from + n] * std::cos(phase);
    }
    return 2.0 * std::hypot(i, q) / fs;
}

// Quiet enough that no limiter ever reduces: the low band is driven by
// 17.78 into a ceiling of 1.
constexpr double kQuiet = 0.01;

// Voicing D: the band limiters recover with 50 and 30 ms and the output
// limiter at once, so two seconds leave every gain at exactly 1.
VocalChainSettings Transparent(int sr) {
    VocalChainSettings s = DefaultSettings(sr);
    SetVoicing(s, 'D');
    s.presCompGain = 1.0;
    return s;
}

// Eighth-order low cut and band split through the whole chain, as the
// output hears a sine. Only one band is let through at a time (the other's
// gain is 0), so the response is a product of section gains: four sections
// of the low cut, four of the band's filter, times the band's fixed gain
// (0.1 after the +25 dB drive for the low band).
TEST(ChainResponse, LowCutAndBandSplitAttenuateAsTheDesign) {
    struct Case {
        const char* what;
        double lowCutHz, crossoverHz;
        bool lowBand;
        double f;
    };
    const Case cases[] = {
        {"low cut at its corner", 80, 21, false, 80},    {"low cut an octave down", 80, 21, false, 40},
        {"low cut passband", 80, 21, false, 320},        {"low cut off, at 20 Hz", 20, 21, false, 25},
        {"high band at the split", 20, 250, false, 250}, {"high band an octave down", 20, 250, false, 125},
        {"low band at the split", 20, 250, true, 250},   {"low band an octave up", 20, 250, true, 500},
        {"low band passband", 20, 250, true, 60},
    };
    for (int sr : {44100, 96000}) {
        for (const Case& c : cases) {
            VocalChainSettings s = Transparent(sr);
            s.lowCutHz = c.lowCutHz;
            s.crossoverHz = c.crossoverHz;
            s.finalGain = c.lowBand ? 0.0 : 1.0;
            s.bassGain = c.lowBand ? 1.0 : 0.0;
            Stereo in;
            in.l = Sine(c.f, kQuiet, sr, 3 * sr);
            in.r = in.l;
            VocalChain chain;
            const Stereo out = RunChain(chain, s, in, {512});
            double expected = kQuiet * (c.lowBand ? 17.7827941 * 0.1 : 1.0);
            for (int k = 0; k < 4; ++k) {
                expected *= SectionGain(c.f, c.lowCutHz, sr, true);
                expected *= SectionGain(c.f, c.crossoverHz, sr, !c.lowBand);
            }
            // The sine's own samples are exact to 1e-16; 1e-6 relative
            // leaves room for the recursions' rounding and nothing else: a q
            // of 0.7071 moves the corner's gain by 4 %.
            EXPECT_NEAR(Amplitude(out.l, 2 * sr, c.f, sr), expected, 1e-6 * expected) << c.what << " at " << sr;
        }
    }
}

// Envelope of a sine at fs/8 in y, one value per period (8 samples).
std::vector<double> PeriodAmplitudes(const std::vector<double>& y) {
    std::vector<double> a;
    for (std::size_t at = 0; at + 8 <= y.size(); at += 8) {
        double i = 0.0, q = 0.0;
        for (int n = 0; n < 8; ++n) {
            i += y[at + n] * std::sin(kPi * n / 4.0);
            q += y[at + n] * std::cos(kPi * n / 4.0);
        }
        a.push_back(std::hypot(i, q) / 4.0);
    }
    return a;
}

// A fresh instance starts each glide at its range's low end: a gain set
// there does not move, a gain set elsewhere glides to it with 40 ms. Two
// fresh chains that differ in one gain alone hear everything else (power
// fade, limiters opening, other glides) alike, so the ratio of their
// outputs is the glide itself: from lo to g it comes within 1 % of g after
// 40 ms x ln((g - lo) / (0.01 g)).
TEST(ChainResponse, GainsGlideFromTheirRangesLowEndWith40Ms) {
    struct Case {
        const char* name;
        int index;
        double loDb, toDb;  // the range's low end, and the new value
        double lo, to;      // the same as gains
    };
    const Case cases[] = {
        {"Pres Comp", Velmor::kPresComp, 0.0, 12.5, 1.0, 4.2169650},
        {"Final Comp", Velmor::kFinalComp, 0.0, 3.0, 1.0, 1.4125375},
        {"Db Output", Velmor::kDbOutput, -20.0, 0.0, 0.1, 1.0},
    };
    const int sr = 44100;
    const double f = sr / 8.0;
    Stereo in;
    in.l = Sine(f, kQuiet, sr, sr / 2, 0.3);
    in.r = in.l;
    for (const Case& c : cases) {
        VocalChainSettings still = SettingsWith(sr, c.index, c.loDb);
        VocalChainSettings moving = SettingsWith(sr, c.index, c.toDb);
        for (VocalChainSettings* s : {&still, &moving}) SetVoicing(*s, 'D');
        VocalChain a, b;
        const std::vector<double> ya = PeriodAmplitudes(RunChain(a, still, in, {256}).l);
        const std::vector<double> yb = PeriodAmplitudes(RunChain(b, moving, in, {256}).l);
        const double ratio = c.to / c.lo;
        int within = -1;
        for (std::size_t k = 0; k < ya.size(); ++k) {
            if (ya[k] < 1e-9 * kQuiet) continue;  // both silent while the limiters open
            const bool close = std::fabs(yb[k] / ya[k] - ratio) <= 0.01 * ratio;
            if (close && within < 0) within = static_cast<int>(k);
            if (!close) within = -1;
        }
        ASSERT_GE(within, 0) << c.name;
        // The output hears the glide the chain's latency late (130 samples:
        // twice a 66-sample window less one, 2.95 ms).
        const double ms = ((within + 1) * 8 - 130) * 1000.0 / sr;
        const double expected = 40.0 * std::log((c.to - c.lo) / (0.01 * c.to));
        // A period of 0.18 ms, and the filter delays of well under a
        // millisecond at this frequency.
        EXPECT_NEAR(ms, expected, 1.0) << c.name;
    }
}

// The meters take the louder channel: the drive meter the louder side of
// the high band, the output meter the louder side of the mix. A loud left
// with a silent right reads as the mirrored case, and as much as both loud.
TEST(ChainResponse, MetersFollowTheLouderChannel) {
    const int sr = 44100;
    const std::vector<double> loud = Sine(3000.0, 0.05, sr, sr / 2);  // under the +6 dB stop
    const std::vector<double> silent(loud.size(), 0.0);
    auto levels = [&](const std::vector<double>& l, const std::vector<double>& r) {
        VocalChain chain;
        VuLevel drive, output;
        Stereo in{l, r};
        RunChain(chain, DefaultSettings(sr), in, {512}, false, &drive, &output);
        return std::vector<double>{drive.Level(), output.Level()};
    };
    const std::vector<double> both = levels(loud, loud);
    const std::vector<double> left = levels(loud, silent);
    const std::vector<double> right = levels(silent, loud);
    for (int m = 0; m < 2; ++m) {
        ASSERT_GT(both[m], 0.05) << m;
        EXPECT_NEAR(left[m], both[m], 1e-9 * both[m]) << m;
        EXPECT_NEAR(right[m], both[m], 1e-9 * both[m]) << m;
    }
}

// The power mix after a block is the fade's value at the block's end. The
// fade leaves a settled "on" from its last smoothed value, within 0.01 of 1,
// so after k samples of "Power" off it lies in (0.99, 1] x exp(-k / 25 ms),
// and each block takes it down by exactly exp(-n / 25 ms), until it comes
// within 0.01 of 0 and jumps there.
TEST(ChainResponse, PowerFadeIsReadAtTheEndOfEachBlock) {
    const int sr = 48000;
    const double tau = 0.025 * sr;
    for (int block : {7, 480, 1000}) {
        VocalChain chain;
        VocalChainSettings s = DefaultSettings(sr);
        const Stereo warm{Sine(440.0, 0.2, sr, sr / 2), Sine(440.0, 0.2, sr, sr / 2)};
        RunChain(chain, s, warm, {512});
        ASSERT_EQ(chain.PowerMix(), 1.0);
        s.power = 0.0;
        const Stereo in{Sine(440.0, 0.2, sr, block), Sine(440.0, 0.2, sr, block)};
        double previous = 0.0;
        for (int done = block; done < 6 * tau; done += block) {
            RunChain(chain, s, in, {block});
            const double p = chain.PowerMix();
            const double e = std::exp(-done / tau);
            if (e * 0.99 > 0.0101) {
                EXPECT_GT(p, 0.99 * e) << block << " after " << done;
                EXPECT_LE(p, e * (1 + 1e-12)) << block << " after " << done;
                if (done > block) {
                    EXPECT_NEAR(p / previous, std::exp(-block / tau), 1e-12) << block << " after " << done;
                }
            }
            previous = p;
        }
        EXPECT_EQ(chain.PowerMix(), 0.0) << block;
    }
}

}  // namespace
