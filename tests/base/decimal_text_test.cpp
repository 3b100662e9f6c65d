#include "base/decimal_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/comma_locale.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ReadRow {
    const char* text;
    double value;
    std::size_t length;  // characters that make the number
};

// Expected values are the compiler's own reading of the literals.
const ReadRow kReadRows[] = {
    {"7", 7.0, 1},
    {" -2.5dB", -2.5, 5},
    {"+3", 3.0, 2},
    {"\t12.50 dB", 12.5, 6},
    {".5", 0.5, 2},
    {"5.", 5.0, 2},
    {"-.5e-1", -0.05, 6},
    {"1e3", 1000.0, 3},
    {"2E+2x", 200.0, 4},
    {"1e", 1.0, 1},  // an exponent without digits is not part of it
    {"1e+", 1.0, 1},
    {"0.1", 0.1, 3},  // correctly rounded, to the bit
    {"2.2250738585072014e-308", 2.2250738585072014e-308, 23},
    {"0.30000000000000004", 0.30000000000000004, 19},
    {"0x1p1", 0.0, 1},  // no hexadecimal forms: the leading "0" only
    {"0X10", 0.0, 1},
    {"2,5", 2.0, 1},     // a comma is never the decimal point
    {"1e400", kInf, 5},  // beyond double
    {"-1e400", -kInf, 6},
    {"123456789e305", kInf, 13},
    {"1e-400", 0.0, 6},  // below the smallest subnormal
    {"0.000001e-320", 0.0, 13},
    {"abc", 0.0, 0},
    {"", 0.0, 0},
    {"-", 0.0, 0},
    {".", 0.0, 0},
    {"e5", 0.0, 0},
    {"INF", kInf, 3},
    {"-inf", -kInf, 4},
    {" +Infinity", kInf, 10},
    {"infinit", kInf, 3},
};

}  // namespace

TEST(DecimalText, ReadsTheLongestLeadingDecimalNumber) {
    for (const ReadRow& r : kReadRows) {
        double value = -1.0;
        EXPECT_EQ(ReadLeadingDecimal(r.text, value), r.length) << r.text;
        EXPECT_EQ(value, r.value) << r.text;
        EXPECT_EQ(ReadDecimal(r.text), r.value) << r.text;
    }
    for (const char* text : {"nan", "NaN(1)", " -nan"}) EXPECT_TRUE(std::isnan(ReadDecimal(text))) << text;
    EXPECT_EQ(ReadDecimal(nullptr), 0.0);
    EXPECT_TRUE(std::signbit(ReadDecimal("-0")));
    EXPECT_TRUE(std::signbit(ReadDecimal("-1e-400")));
}

TEST(DecimalText, FormatsFixedLikeTheCLocale) {
    struct Row {
        double value;
        int decimals;
        const char* text;
    } rows[] = {
        {12.5, 2, "12.50"},
        {-5.0, 2, "-5.00"},
        {0.125, 2, "0.12"},  // exact binary tie: to even, as printf does
        {0.375, 2, "0.38"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {0.1, 20, "0.10000000000000000555"},  // the exact binary value, not a shortest form
        {1e21, 1, "1000000000000000000000.0"},
        {-0.001, 2, "-0.00"},
        {kInf, 2, "inf"},
        {-kInf, 0, "-inf"},
        {std::nan(""), 2, "nan"},
    };
    for (const auto& r : rows) EXPECT_EQ(FormatFixed(r.value, r.decimals), r.text) << r.value << " " << r.decimals;
    EXPECT_EQ(FormatFixed(-1.79769313486231570e308, 6).size(), 1u + 309u + 1u + 6u);
}

TEST(DecimalText, TheCLocaleChangesNothing) {
    ScopedCommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "no locale with a decimal comma on this machine";
    for (const ReadRow& r : kReadRows) EXPECT_EQ(ReadDecimal(r.text), r.value) << r.text;
    EXPECT_EQ(FormatFixed(12.5, 2), "12.50");
    EXPECT_EQ(FormatFixed(-0.5833, 4), "-0.5833");
}
