// DelayLine and MovingAverage.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/moving_average.h"

namespace {

TEST(DelayLine, DelaysByLengthMinusOne) {
    struct Case {
        int length;
        std::vector<double> expected;  // for inputs 1, 2, 3, 4, 5
    };
    const Case cases[] = {
        {1, {1, 2, 3, 4, 5}},  // passes through
        {3, {0, 0, 1, 2, 3}},  // two samples late, zeros at first
        {0, {1, 2, 3, 4, 5}},  // nothing stored
        {-4, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        DelayLine d;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(d.Process(i + 1.0, c.length), c.expected[i]) << "length " << c.length;
    }
}

TEST(MovingAverage, MeanOfTheLastLengthMinusOneInputs) {
    // Inputs 1, 2, 3, ...: after k >= 59 inputs the last 59 are k-58..k with
    // mean k - 29; before that the sum so far over 59.
    MovingAverage a;
    for (int k = 1; k <= 100; ++k) {
        const double out = a.Process(k, 60);
        const double expected = k >= 59 ? k - 29.0 : k * (k + 1) / 2.0 / 59.0;
        EXPECT_NEAR(out, expected, 1e-12) << k;
    }
}

TEST(MovingAverage, LengthChangeClearsTheWindowFirst) {
    MovingAverage a;
    for (int k = 0; k < 100; ++k) a.Process(5.0, 60);
    // 61 averages 60 inputs; with the old window cleared the first mean is
    // 1000/60, not (1000 + 59 * 5)/60.
    EXPECT_NEAR(a.Process(1000.0, 61), 1000.0 / 60.0, 1e-12);
    EXPECT_NEAR(a.Process(1000.0, 61), 2000.0 / 60.0, 1e-12);
}

}  // namespace
