// The floating-point guard: FTZ/DAZ inside, the caller's mode restored on
// every exit, and no subnormal filter state after a signal dies away.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "plugin/dsp/biquad_cascade.h"
#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/lookahead_limiter.h"

namespace {

bool Subnormal(double v) { return v != 0.0 && std::fabs(v) < std::numeric_limits<double>::min(); }

#if VELMOR_HAS_MXCSR
// A caller's mode that differs from the default: round toward zero, all
// exceptions masked, FTZ/DAZ off.
constexpr unsigned kCallerMode = 0x1F80 | 0x6000;
// The low six bits are sticky exception flags, raised by any arithmetic
// (the test's own included); the mode is the rest.
unsigned Mode() { return _mm_getcsr() & ~0x3Fu; }

class MxcsrScope {
public:
    MxcsrScope() : mSaved(_mm_getcsr()) { _mm_setcsr(kCallerMode); }
    ~MxcsrScope() { _mm_setcsr(mSaved); }

private:
    unsigned mSaved;
};

int EarlyReturn(bool early, unsigned* inside) {
    DenormalGuard guard;
    *inside = Mode();
    if (early) return 1;
    return 2;
}

void Throws(unsigned* inside) {
    DenormalGuard guard;
    *inside = Mode();
    throw std::runtime_error("unwind");
}

TEST(DenormalGuard, SetsFlushModesAndRestoresTheCallersWordOnEveryExit) {
    MxcsrScope scope;
    for (bool early : {true, false}) {
        unsigned inside = 0;
        EarlyReturn(early, &inside);
        EXPECT_EQ(inside, kCallerMode | 0x8040u);
        EXPECT_EQ(Mode(), kCallerMode);
    }
    unsigned inside = 0;
    EXPECT_THROW(Throws(&inside), std::runtime_error);
    EXPECT_EQ(inside, kCallerMode | 0x8040u);
    EXPECT_EQ(Mode(), kCallerMode);
    {
        DenormalGuard outer;
        { DenormalGuard inner; }
        EXPECT_EQ(Mode(), kCallerMode | 0x8040u) << "a nested guard restores the outer mode";
    }
    EXPECT_EQ(Mode(), kCallerMode);
}

#else
TEST(DenormalGuard, NotAvailable) { GTEST_SKIP() << "no MXCSR on this processor"; }
#endif

TEST(DenormalGuard, NoSubnormalStateAfterSignalThenLongSilence) {
    // A low-cut cascade, a low-pass cascade and a limiter fed a loud 100 Hz
    // tone for a second, then ten seconds of silence. Without flushing, the
    // filter state would decay into the subnormal range and stay there.
    const int fs = 44100;
    BiquadCascade low;
    BiquadCascade high;
    LookaheadLimiter lim;
    const double kTwoPi = 6.283185307179586;
    int subnormalSamples = 0;
    for (int i = 0; i < 11 * fs; ++i) {
        const double x = i < fs ? 4.0 * std::sin(kTwoPi * 100.0 * i / fs) : 0.0;
        const double y = low.Process(x, 80, 0.7, 0.0, fs, 1, 3);
        const double z = high.Process(y, 250, 0.7, 0.0, fs, 0, 3);
        lim.Process(z, y, 1.0, 0.0, 160.0, 1.5, fs);
        if (i >= fs) {
            for (int s = 0; s < BiquadCascade::kMaxSections; ++s) {
                subnormalSamples +=
                    Subnormal(low.Z1(s)) || Subnormal(low.Z2(s)) || Subnormal(high.Z1(s)) || Subnormal(high.Z2(s));
            }
            subnormalSamples += Subnormal(lim.OutL()) || Subnormal(lim.OutR()) || Subnormal(lim.Gain());
        }
    }
    // (The high-pass state may settle into a tiny limit cycle near 1e-306
    // instead of reaching 0: flushed products break the cancellation in its
    // state. Those values are normal numbers and cost nothing extra.)
    EXPECT_EQ(subnormalSamples, 0);
}

}  // namespace
