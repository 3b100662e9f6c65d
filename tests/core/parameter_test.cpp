#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/parameter.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Format(const IParameter& p, double v, bool isNormalized = false, bool useDisplayTexts = true) {
    char out[64];
    std::memset(out, '#', sizeof out);
    p.FormatValue(v, isNormalized, out, sizeof out, useDisplayTexts);
    return out;
}

enum class Kind { Bool, Int, Double };

struct NormalizeCase {
    const char* name;
    Kind kind;
    double min, max, step, shape;
    double normalized;
    double expectedValue;
};

// Stepped kinds round to the nearest multiple of the step from 0 with
// halves going up (floor(v + 0.5)); continuous kinds are never stepped.
const NormalizeCase kNormalizeCases[] = {
    {"BoolAbove", Kind::Bool, 0, 1, 1, 1, 0.6, 1.0},
    {"BoolBelow", Kind::Bool, 0, 1, 1, 1, 0.49, 0.0},
    {"BoolHalfGoesUp", Kind::Bool, 0, 1, 1, 1, 0.5, 1.0},
    {"IntMiddle", Kind::Int, 0, 4, 1, 1, 0.5, 2.0},
    {"IntHalfGoesUp", Kind::Int, 0, 4, 1, 1, 0.625, 3.0},  // 2.5 -> 3
    {"IntTop", Kind::Int, 0, 4, 1, 1, 1.0, 4.0},
    {"IntBottom", Kind::Int, 0, 4, 1, 1, 0.0, 0.0},
    {"IntNegativeHalfGoesUp", Kind::Int, -3, 3, 1, 1, 0.25, -1.0},  // -1.5 -> -1
    {"DoubleNotStepped", Kind::Double, 0, 100, 0.5, 1, 0.333, 33.3},
    {"DoubleShaped", Kind::Double, 0, 1, 0.01, 2, 0.5, 0.25},
    {"DoubleShapedOffset", Kind::Double, -10, 10, 0.1, 3, 0.5, -7.5},  // 0.125 * 20 - 10
    // Out-of-range normalised values are held to 0..1 first.
    {"AboveOneIsTop", Kind::Double, -10, 10, 0.1, 1, 1.5, 10.0},
    {"BelowZeroIsBottom", Kind::Double, -10, 10, 0.1, 1, -0.5, -10.0},
    {"InfinityIsTop", Kind::Int, 0, 4, 1, 1, kInf, 4.0},
    {"MinusInfinityIsBottom", Kind::Int, 0, 4, 1, 1, -kInf, 0.0},
    {"ShapedBelowZeroIsBottom", Kind::Double, 0, 1, 0.01, 0.5, -0.25, 0.0},
};

void Declare(IParameter& p, const NormalizeCase& c) {
    switch (c.kind) {
        case Kind::Bool:
            p.SetupBool("b", false);
            break;
        case Kind::Int:
            p.SetupInt("i", static_cast<int>(c.min), static_cast<int>(c.min), static_cast<int>(c.max));
            break;
        case Kind::Double:
            p.SetupDouble("d", c.min, c.min, c.max, c.step, "", c.shape);
            break;
    }
}

class ParameterNormalize : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(ParameterNormalize, SetsValueFromNormalized) {
    IParameter p;
    Declare(p, GetParam());
    p.SetFromNormalized(GetParam().normalized);
    EXPECT_NEAR(p.Value(), GetParam().expectedValue, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Rules, ParameterNormalize, ::testing::ValuesIn(kNormalizeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Parameter, BoolFormatsOnAndOff) {
    IParameter p;
    p.SetupBool("Power", true);
    EXPECT_EQ(p.Type(), kParamBool);
    EXPECT_EQ(p.Value(), 1.0);
    p.SetFromNormalized(0.6);
    EXPECT_EQ(Format(p, p.Value()), "on");
    p.SetFromNormalized(0.49);
    EXPECT_EQ(Format(p, p.Value()), "off");
    EXPECT_STREQ(p.UnitText(), "");
}

TEST(Parameter, NaNNeverBecomesTheValue) {
    IParameter p;
    p.SetupDouble("Gain", 3.0, -10, 10, 0.1, "dB", 1);
    p.SetFromNormalized(kNaN);
    EXPECT_EQ(p.Value(), 3.0);
    EXPECT_EQ(p.ValueToNormalized(kNaN), 0.0);
}

TEST(Parameter, ValueToNormalizedClampsAndInverts) {
    IParameter p;
    p.SetupDouble("x", 0, 0, 1, 0.01, "", 2);
    EXPECT_DOUBLE_EQ(p.ValueToNormalized(0.25), 0.5);  // sqrt(0.25)
    EXPECT_EQ(p.ValueToNormalized(5.0), 1.0);
    EXPECT_EQ(p.ValueToNormalized(-5.0), 0.0);
    IParameter q;
    q.SetupDouble("y", 0, -20, 20, 0.5, "dB", 1);
    EXPECT_DOUBLE_EQ(q.ValueToNormalized(5.0), 0.625);  // 25 / 40
    EXPECT_EQ(q.ValueToNormalized(kInf), 1.0);
    EXPECT_EQ(q.ValueToNormalized(-kInf), 0.0);
}

struct ClampCase {
    double min, max, input, expected;
};

class ParameterSetClamped : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ParameterSetClamped, HoldsToRangeAndTreatsNaNAsZero) {
    IParameter p;
    p.SetupDouble("x", GetParam().min, GetParam().min, GetParam().max, 0.5, "", 1);
    p.SetClamped(GetParam().input);
    EXPECT_EQ(p.Value(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ParameterSetClamped,
                         ::testing::Values(ClampCase{-10, 10, 3.5, 3.5}, ClampCase{-10, 10, 11, 10},
                                           ClampCase{-10, 10, -11, -10}, ClampCase{-10, 10, kInf, 10},
                                           ClampCase{-10, 10, -kInf, -10}, ClampCase{-10, 10, kNaN, 0},
                                           ClampCase{5, 10, kNaN, 5}, ClampCase{-10, -5, kNaN, -5}));

struct PrecisionCase {
    double step;
    int precision;
};

class ParameterPrecision : public ::testing::TestWithParam<PrecisionCase> {};

TEST_P(ParameterPrecision, DecimalPlacesFromStep) {
    IParameter p;
    p.SetupDouble("x", 0, 0, 100, GetParam().step, "", 1);
    EXPECT_EQ(p.Precision(), GetParam().precision) << "step " << GetParam().step;
}

// 1/3 never becomes whole; 0.07 * 100 is 7.000000000000001 in doubles.
INSTANTIATE_TEST_SUITE_P(Steps, ParameterPrecision,
                         ::testing::Values(PrecisionCase{1, 0}, PrecisionCase{2, 0}, PrecisionCase{0.5, 1},
                                           PrecisionCase{0.1, 1}, PrecisionCase{0.25, 2}, PrecisionCase{0.01, 2},
                                           PrecisionCase{0.001, 3}, PrecisionCase{1.0 / 3.0, 6},
                                           PrecisionCase{0.07, 6}));

TEST(Parameter, SetupDoubleKeepsRangeOneStepWide) {
    struct {
        double min, max, step, expectedMax;
    } cases[] = {{0, 0, 0.01, 0.01}, {0, 0, 1, 1}, {5, 2, 1, 6}, {0, 10, 1, 10}, {-1, -1, 0.5, -0.5}};
    for (const auto& c : cases) {
        IParameter p;
        p.SetupDouble("x", c.min, c.min, c.max, c.step, "", 1);
        EXPECT_DOUBLE_EQ(p.Max(), c.expectedMax) << c.min << ".." << c.max << " step " << c.step;
    }
}

TEST(Parameter, NamesAreBoundedTo31Characters) {
    const std::string longText(40, 'n');
    IParameter p;
    p.SetupDouble(longText.c_str(), 0, 0, 1, 0.1, longText.c_str(), 1);
    p.AddDisplayText(0, longText.c_str());
    EXPECT_EQ(std::string(p.Name()), std::string(31, 'n'));
    EXPECT_EQ(std::string(p.Label()), std::string(31, 'n'));
    EXPECT_EQ(std::string(p.DisplayTextAt(0)->text), std::string(31, 'n'));
}

struct FormatCase {
    const char* name;
    double step;
    double value;
    bool isNormalized;
    const char* expected;
};

// Numbers print "%.*f" with the step's precision, or "%d" of the value
// truncated toward zero.
const FormatCase kFormatCases[] = {
    {"TruncatesTowardZero", 1, 2.7, false, "2"},
    {"NegativeTruncatesTowardZero", 1, -2.7, false, "-2"},
    {"SmallNegativeIsZero", 1, -0.4, false, "0"},
    {"OneDecimal", 0.5, 33.3, false, "33.3"},
    {"TwoDecimals", 0.01, -3.14159, false, "-3.14"},
    {"NormalizedIsMapped", 0.1, 0.25, true, "-5.0"},  // -10 + 0.25 * 20
    {"NormalizedIsNotStepped", 1, 0.33, true, "-3"},  // -3.4 truncated
    {"NormalizedIsNotClamped", 1, 1.5, true, "20"},
    {"HugeValueHasNoUndefinedConversion", 1, 1e12, false, "1000000000000"},
};

class ParameterFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ParameterFormat, WritesNumber) {
    IParameter p;
    p.SetupDouble("x", 0, -10, 10, GetParam().step, "", 1);
    EXPECT_EQ(Format(p, GetParam().value, GetParam().isNormalized), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ParameterFormat, ::testing::ValuesIn(kFormatCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ModeParameter : public ::testing::Test {
protected:
    void SetUp() override {
        mode.SetupInt("Mode", 0, 0, 4, "pos");
        const char* texts[] = {"A", "A", "B", "C", "D"};
        for (int i = 0; i < 5; ++i) mode.AddDisplayText(i, texts[i]);
    }
    IParameter mode;
};

TEST_F(ModeParameter, DisplayTextsReplaceNumbers) {
    struct {
        double value;
        bool isNormalized;
        bool useDisplayTexts;
        const char* expected;
    } cases[] = {
        {1.0, false, true, "A"},      {0.0, false, true, "A"},  {3.0, false, true, "C"},
        {3.9, false, true, "C"},      {4.0, false, true, "D"},  {5.0, false, true, "5"},
        {-1.0, false, true, "-1"},    {3.0, false, false, "3"}, {0.75, true, true, "C"},  // 0.75 * 4 = 3
        {kNaN, false, true, nullptr},
    };
    for (const auto& c : cases) {
        const std::string text = Format(mode, c.value, c.isNormalized, c.useDisplayTexts);
        if (c.expected) {
            EXPECT_EQ(text, c.expected) << "value " << c.value;
        } else {
            EXPECT_FALSE(text.empty()) << "NaN still gives some text";
        }
    }
}

TEST_F(ModeParameter, UnitTextOnlyWithoutDisplayText) {
    for (double v : {0.0, 1.0, 2.0, 3.0, 4.0}) {
        mode.SetClamped(v);
        EXPECT_STREQ(mode.UnitText(), "") << v;
    }
    IParameter gain;
    gain.SetupDouble("Gain", 0, -10, 10, 0.1, "dB", 1);
    EXPECT_STREQ(gain.UnitText(), "dB");
    // A value without a display text shows the label.
    IParameter partial;
    partial.SetupInt("p", 1, 0, 2, "st");
    partial.AddDisplayText(0, "zero");
    EXPECT_STREQ(partial.UnitText(), "st");
}

TEST(Parameter, FirstMatchingEntryDecidesEvenWhenEmpty) {
    IParameter p;
    p.SetupInt("p", 0, 0, 2, "u");
    p.AddDisplayText(1, "");
    p.AddDisplayText(1, "one");
    p.SetClamped(1);
    EXPECT_EQ(Format(p, 1.0), "1");
    EXPECT_STREQ(p.UnitText(), "u");
    EXPECT_EQ(p.DisplayTextFor(1.0), nullptr);
}

TEST_F(ModeParameter, TypedTextMatchesExactly) {
    EXPECT_EQ(mode.FindDisplayText("A"), 0);
    EXPECT_EQ(mode.FindDisplayText("C"), 3);
    EXPECT_EQ(mode.FindDisplayText("c"), -1);
    EXPECT_EQ(mode.FindDisplayText("C "), -1);
    EXPECT_EQ(mode.FindDisplayText(""), -1);
    EXPECT_EQ(mode.FindDisplayText(nullptr), -1);
}

TEST(Parameter, OutputIsBoundedToTheBuffer) {
    char out[4];
    std::memset(out, '#', sizeof out);
    IParameter p;
    p.SetupDouble("x", 0, -100000, 100000, 1, "", 1);
    p.FormatValue(-12345, false, out, 3, true);
    EXPECT_STREQ(out, "-1");
    EXPECT_EQ(out[3], '#');
    IParameter named;
    named.SetupInt("n", 0, 0, 1);
    named.AddDisplayText(0, "Hello");
    named.FormatValue(0, false, out, 3, true);
    EXPECT_STREQ(out, "He");
    out[0] = '#';
    named.FormatValue(0, false, out, 0, true);
    EXPECT_EQ(out[0], '#') << "a zero-sized buffer is not written";
}

}  // namespace
