// ParamSmoother and EnvelopeFollower: coefficients from the time constants,
// the settled-value shortcut, the zero flush and the cache rule.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/param_smoother.h"

namespace {

TEST(ParamSmoother, CoefficientFromTimeAndRate) {
    struct Case {
        int rate;
        double ms;
        double expected;
    };
    // 44100 * 40 ms = 1764 samples per time constant.
    const Case cases[] = {
        {44100, 40.0, std::exp(-1.0 / 1764.0)},
        {48000, 25.0, std::exp(-1.0 / 1200.0)},
        {44100, 0.0, 0.0},    // instant
        {44100, 5e-11, 0.0},  // below 1e-10 ms counts as instant
        {0, 40.0, 0.0},       // no sample rate yet: jump to the target
    };
    for (const Case& c : cases) {
        ParamSmoother s;
        s.Process(1.0, c.rate, c.ms, 0.0, 1.0, 0.0);
        EXPECT_NEAR(s.Coef(), c.expected, 1e-15) << c.rate << " Hz, " << c.ms << " ms";
    }
    EXPECT_NEAR(std::exp(-1.0 / 1764.0), 0.999433, 5e-7);
}

TEST(ParamSmoother, SettledValueReturnsTheExactTargetWithoutTouchingState) {
    ParamSmoother s;
    double out = 0.0;
    int steps = 0;
    while (out != 80.0 && steps < 100000) {
        out = s.Process(80.0, 44100, 40.0, 20.0, 300.0, 0.01);
        ++steps;
    }
    ASSERT_EQ(out, 80.0);
    // The normalised gap shrinks by c per sample from 60/280 and must fall
    // below 0.01/280: ln(6000) time constants, about 15347 samples.
    EXPECT_GE(steps, static_cast<int>(std::log(6000.0) * 1764.0));
    EXPECT_LE(steps, static_cast<int>(std::log(6000.0) * 1764.0) + 2);
    const double value = s.Value();
    const double state = s.State();
    EXPECT_LT(std::fabs(value - 60.0 / 280.0), 0.01 / 280.0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s.Process(80.0, 44100, 40.0, 20.0, 300.0, 0.01), 80.0);
    EXPECT_EQ(s.Value(), value);
    EXPECT_EQ(s.State(), state);
}

TEST(ParamSmoother, DecayTowardsLoFlushesInsteadOfGoingSubnormal) {
    // Tolerance 0 never settles, so the state decays geometrically; once it
    // would be subnormal the state becomes 0 and lo is returned exactly.
    ParamSmoother s;
    s.Process(1.0, 44100, 0.0, 0.0, 1.0, 0.0);  // jump to 1 at once
    double out = 1.0;
    for (int i = 0; i < 2000000 && out != 0.0; ++i) {
        out = s.Process(0.0, 44100, 0.01, 0.0, 1.0, 0.0);  // c = exp(-1/0.441)
        EXPECT_TRUE(s.State() == 0.0 || std::fabs(s.State()) >= std::numeric_limits<double>::min());
    }
    EXPECT_EQ(out, 0.0);
    EXPECT_EQ(s.State(), 0.0);
    EXPECT_EQ(s.Process(0.0, 44100, 0.01, 0.0, 1.0, 0.0), 0.0);
}

TEST(EnvelopeFollower, InstantRiseAndExponentialFall) {
    EnvelopeFollower f;
    // Rise 0 ms follows |x| exactly while it climbs.
    EXPECT_EQ(f.Process(0.3, 44100, 0.0, 300.0), 0.3);
    EXPECT_EQ(f.Process(-0.7, 44100, 0.0, 300.0), 0.7);
    EXPECT_EQ(f.Process(1.0, 44100, 0.0, 300.0), 1.0);
    // Fall 300 ms at 44100 Hz: 13230 samples per time constant.
    const double c = std::exp(-1.0 / 13230.0);
    EXPECT_NEAR(f.Process(0.0, 44100, 0.0, 300.0), c, 1e-15);
    double y = 0.0;
    for (int i = 1; i < 13230; ++i) y = f.Process(0.0, 44100, 0.0, 300.0);
    EXPECT_NEAR(y, std::exp(-1.0), 1e-12);
}

TEST(CoefficientCache, RemadeOnlyForChangesOfAtLeast1e10) {
    // At 1000 Hz, 1 ms is one sample per time constant: coefficient e^-1.
    // A time 5e-11 ms away keeps the cached coefficient bit for bit; one
    // 2e-10 ms away (or a new rate) remakes it.
    struct Case {
        double ms;
        int rate;
        bool remade;
    };
    const Case cases[] = {
        {1.0 + 5e-11, 1000, false}, {1.0 - 5e-11, 1000, false}, {1.0 + 2e-10, 1000, true}, {1.0, 1001, true}};
    for (const Case& c : cases) {
        ParamSmoother s;
        EnvelopeFollower f;
        s.Process(0.5, 1000, 1.0, 0.0, 1.0, 0.0);
        f.Process(0.5, 1000, 1.0, 1.0);
        ASSERT_EQ(s.Coef(), std::exp(-1.0));
        ASSERT_EQ(f.CoefRise(), std::exp(-1.0));
        s.Process(0.5, c.rate, c.ms, 0.0, 1.0, 0.0);
        f.Process(0.5, c.rate, c.ms, 1.0);
        const double expected = c.remade ? std::exp(-1.0 / (c.rate * c.ms * 0.001)) : std::exp(-1.0);
        EXPECT_EQ(s.Coef(), expected) << c.ms << " ms at " << c.rate;
        EXPECT_EQ(f.CoefRise(), expected) << c.ms << " ms at " << c.rate;
        EXPECT_EQ(f.CoefFall(), c.rate == 1000 ? std::exp(-1.0) : std::exp(-1.0 / (c.rate * 1.0 * 0.001)));
    }
}

TEST(EnvelopeFollower, NonFiniteInputRestartsFromRestInsteadOfStickingAtNaN) {
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (double x : bad) {
        EnvelopeFollower f;
        f.Process(0.5, 44100, 0.0, 300.0);
        EXPECT_EQ(f.Process(x, 44100, 0.0, 300.0), 0.0) << x;
        EXPECT_EQ(f.Process(0.25, 44100, 0.0, 300.0), 0.25) << x;
    }
}

}  // namespace
