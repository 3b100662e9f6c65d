// Setting parameters of a plug-in that is not ours by name and value, and
// describing them, through the published calls only.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/velmor-host/hosted_vst2.h"
#include "tools/velmor-host/parameter_access.h"

namespace {

TEST(ParameterText, DisplayNumbersAndTheirResolution) {
    const struct {
        const char* text;
        bool ok;
        double value;
        int decimals;
    } cases[] = {
        {"12.50", true, 12.5, 2},     {" -6 dB", true, -6.0, 0}, {"0.500", true, 0.5, 3}, {"1e3", true, 1000.0, 0},
        {"-inf", true, -INFINITY, 0}, {"on", false, 0, 0},       {"A", false, 0, 0},      {"1/4", false, 0, 0},
        {"2:1", false, 0, 0},         {"nan", false, 0, 0},      {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        double value = 0.0;
        int decimals = -1;
        EXPECT_EQ(ParseDisplayNumber(c.text, value, decimals), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(decimals, c.decimals) << c.text;
    }
}

class GainParameters : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(mPlugin.Load(HOST_GAIN_STEREO_PATH, 44100.0, 512, error)) << error;
    }
    std::vector<float> Values() {
        ParameterAccess p(mPlugin);
        return {p.Get(0), p.Get(1), p.Get(2)};
    }
    Vst2Instance mPlugin;
};

// Gain = 2x (typed text accepted); Mode thirds "Thru" / "Invert" / "Swap";
// Trim = -12 + 24x dB (typed text refused, so found by search).
TEST_F(GainParameters, SettingsReachTheValueTheyName) {
    const struct {
        const char* setting;
        int index;
        const char* display;
        double normalised;
        double tolerance;
    } cases[] = {
        {"Gain=0.5", 0, "0.500", 0.25, 0.0},
        {"gain = 1.5", 0, "1.500", 0.75, 0.0},  // case-insensitive name, spaces trimmed
        {"Gain=2.0004", 0, "2.000", 1.0, 0.0},  // within the display's resolution of the top
        {"Mode=Invert", 1, "Invert", 0.5, 1.0 / 6},
        {"Mode=swap", 1, "Swap", 5.0 / 6, 1.0 / 6},
        // The display shows -6.00 for dB in [-6.005, -5.995): the middle of
        // that stretch is x = 0.25; 1e-5 allows for the search's float steps.
        {"Trim=-6", 2, "-6.00", 0.25, 1e-5},
        {"Trim=-6dB", 2, "-6.00", 0.25, 1e-5},
        {"Trim=3.21 dB", 2, "3.21", (3.21 + 12) / 24, 1e-5},
        {"Trim=-6db", 2, "-6.00", 0.25, 1e-5},  // the unit in any case
        {"Trim=1.5 DB", 2, "1.50", (1.5 + 12) / 24, 1e-5},
        {"Trim=12", 2, "12.00", 1.0, 2.1e-4},  // the stretch showing 12.00 ends at x = 1
        {"Trim=-12", 2, "-12.00", 0.0, 2.1e-4},
    };
    ParameterAccess p(mPlugin);
    for (const auto& c : cases) {
        std::string error;
        ASSERT_TRUE(p.Apply(c.setting, error)) << c.setting << ": " << error;
        EXPECT_EQ(p.Display(c.index), c.display) << c.setting;
        EXPECT_NEAR(p.Get(c.index), c.normalised, c.tolerance) << c.setting;
    }
}

TEST_F(GainParameters, RefusedSettingsSayWhyAndChangeNothing) {
    const struct {
        const char* setting;
        const char* message;
    } cases[] = {
        {"Volume=1", "unknown parameter \"Volume\" (parameters: Gain, Mode, Trim)"},
        {"Gain=3", "Gain: 3 is outside the range 0.000 to 2.000"},
        {"Gain=-0.1", "outside the range 0.000 to 2.000"},
        {"Trim=13", "Trim: 13 is outside the range -12.00 to 12.00 dB"},
        {"Trim=loud", "Trim: \"loud\" is not a number (range -12.00 to 12.00 dB)"},
        {"Trim=6 Hz", "not a number"},
        {"Mode=Reverse", "Mode: \"Reverse\" is not accepted (allowed: Thru, Invert, Swap, or 0 to 2)"},
        {"Mode=4", "not accepted (allowed: Thru, Invert, Swap, or 0 to 2)"},
        {"Gain", "--set expects NAME=VALUE"},
        {"=3", "--set expects NAME=VALUE"},
    };
    ParameterAccess p(mPlugin);
    std::string error;
    ASSERT_TRUE(p.Apply("Mode=Swap", error)) << error;
    ASSERT_TRUE(p.Apply("Trim=-3", error)) << error;
    const std::vector<float> before = Values();
    for (const auto& c : cases) {
        error.clear();
        EXPECT_FALSE(p.Apply(c.setting, error)) << c.setting;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.setting << " gave: " << error;
        EXPECT_EQ(Values(), before) << c.setting;
    }
}

TEST_F(GainParameters, DescriptionsReadRangesAndTextsWithoutChangingValues) {
    ParameterAccess p(mPlugin);
    const std::vector<float> before = Values();
    const ParameterDescription gain = p.Describe(0);
    EXPECT_EQ(gain.name, "Gain");
    EXPECT_TRUE(gain.numeric);
    EXPECT_EQ(gain.lowText, "0.000");
    EXPECT_EQ(gain.highText, "2.000");
    EXPECT_EQ(gain.display, "1.000");
    EXPECT_EQ(gain.defaultValue, 0.5f);

    const ParameterDescription mode = p.Describe(1);
    EXPECT_FALSE(mode.numeric);
    EXPECT_EQ(mode.texts, (std::vector<std::string>{"Thru", "Invert", "Swap"}));
    EXPECT_TRUE(mode.textsComplete);

    const ParameterDescription trim = p.Describe(2);
    EXPECT_EQ(trim.label, "dB");
    EXPECT_EQ(trim.low, -12.0);
    EXPECT_EQ(trim.high, 12.0);
    EXPECT_EQ(Values(), before);
}

}  // namespace
