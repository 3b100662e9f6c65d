// velmor-host driving the real plug-in library, loaded from disk as any
// host loads it.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/comma_locale.h"
#include "tests/host/host_test_support.h"
#include "tools/velmor-host/hosted_vst2.h"
#include "tools/velmor-host/parameter_access.h"

namespace {

using host_test::ReadAudio;
using host_test::RunCli;
using host_test::ScratchDir;

const std::string kVelmor = VELMOR_PLUGIN_PATH;

// Half a second of a 220 Hz tone at -12 dBFS with a little of a second
// partial, 16-bit.
std::vector<double> Tone(int channels, int sampleRate) {
    std::vector<double> out;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < sampleRate / 2; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double v = 0.25 * std::sin(2 * pi * 220 * t) + 0.05 * std::sin(2 * pi * 1870 * t);
        for (int c = 0; c < channels; ++c) out.push_back(std::round(v * (c ? -32768 : 32768)) / 32768);
    }
    return out;
}

TEST(VelmorHost, InfoListsTheElevenParameters) {
    const auto r = RunCli({"info", "--plugin", kVelmor});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("magic          VstP"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("parameters     11\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CanDoubleReplacing"), std::string::npos) << r.out;
    for (const char* name :
         {"Pres Comp", "Low Cut", "Presence", "Final Comp", "Db Output", "Power", "Mode", "P Limit", "F Limit"})
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    EXPECT_NE(r.out.find("-5.00 to 25.00 dB"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0=off | 1=on"), std::string::npos) << r.out;
}

// Clipping is met with the plug-in's own output level where it has one.
TEST(VelmorHost, TheClippingHintNamesTheOutputLevel) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, 2), Tone(2, 44100));
    const auto r = host_test::RunHostProcess(
        {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kVelmor, "--set", "Db Output=20"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string hint = "; lower Db Output or use a float output (--float)\n";
    ASSERT_GT(r.err.size(), hint.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - hint.size()), hint) << r.err;
}

TEST(VelmorHost, RendersMonoAndStereoThroughBothPrecisions) {
    const struct {
        int channels;
        int sampleRate;
        std::vector<std::string> extra;
    } cases[] = {
        {2, 44100, {}},
        {1, 48000, {"--double"}},
        {2, 96000, {"--block", "33", "--set", "Pres Comp=18", "--set", "Mode=B", "--set", "Low Cut=off"}},
        {1, 44100, {"--double", "--block", "4096", "--set", "Db Output=-6"}},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const std::vector<double> input = Tone(c.channels, c.sampleRate);
        host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, c.channels, c.sampleRate), input);
        std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kVelmor};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto r = RunCli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const host_test::Audio out = ReadAudio(dir.File("out.wav"));
        EXPECT_EQ(out.format.sampleRate, c.sampleRate);
        EXPECT_EQ(out.format.channels, c.channels);
        EXPECT_EQ(out.format.encoding, AudioEncoding::kPcm16);
        ASSERT_EQ(out.samples.size(), input.size());
        double energy = 0.0;
        for (double v : out.samples) {
            ASSERT_TRUE(std::isfinite(v));
            energy += v * v;
        }
        // The tone's RMS is about -15 dBFS; any working chain keeps it well
        // above -60 dBFS.
        EXPECT_GT(std::sqrt(energy / static_cast<double>(out.samples.size())), 1e-3);
    }
}

TEST(VelmorHost, SavedStateRendersLikeTheSettingsItCameFrom) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kFloat32, 2), Tone(2, 44100));
    const std::vector<std::string> settings = {"--set", "Db Output=-9", "--set", "Mode=C", "--set", "Presence=off"};
    std::vector<std::string> save = {"state", "save", dir.File("s.bin"), "--plugin", kVelmor};
    save.insert(save.end(), settings.begin(), settings.end());
    auto r = RunCli(save);
    ASSERT_EQ(r.code, 0) << r.err;

    std::vector<std::string> direct = {"render", dir.File("in.wav"), dir.File("a.wav"), "--plugin", kVelmor};
    direct.insert(direct.end(), settings.begin(), settings.end());
    r = RunCli(direct);
    ASSERT_EQ(r.code, 0) << r.err;
    r = RunCli({"render", dir.File("in.wav"), dir.File("b.wav"), "--plugin", kVelmor, "--state", dir.File("s.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    // Velmor announces no program chunks, so its state is kept as the
    // parameters' 32-bit normalised values, as hosts keep it. A typed
    // "Db Output=-9" reaches the plug-in exactly; its normalised value maps
    // back to within 2^-24 of the 50 dB range (3e-6 dB, a relative gain
    // error below 4e-7), so the renders agree to far better than 1e-6.
    const auto a = ReadAudio(dir.File("a.wav")).samples;
    const auto b = ReadAudio(dir.File("b.wav")).samples;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-6) << i;
    r = RunCli({"render", dir.File("in.wav"), dir.File("c.wav"), "--plugin", kVelmor});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(ReadAudio(dir.File("a.wav")).samples, ReadAudio(dir.File("c.wav")).samples);
}

TEST(VelmorHost, RefusesValuesOutsideItsParameters) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, 1), Tone(1, 44100));
    const struct {
        const char* setting;
        const char* message;
    } cases[] = {
        {"Pres Comp=30", "Pres Comp: 30 is outside the range -5.00 to 25.00 dB"},
        {"Mode=E", "Mode: \"E\" is not accepted (allowed: A, B, C, D, or 0 to 3)"},
        {"Power=maybe", "allowed: off, on"},
        {"Drive=3", "unknown parameter \"Drive\""},
    };
    for (const auto& c : cases) {
        host_test::ExpectOneLineError(
            RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kVelmor, "--set", c.setting}),
            c.message);
    }
}

// A host process may run under a locale with a decimal comma: typed values
// and every printed number still use ".".
TEST(VelmorHost, NumbersReadAndPrintWithAPointInACommaLocale) {
    ScopedCommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "no locale with a decimal comma on this machine";
    const auto info = RunCli({"info", "--plugin", kVelmor});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("-5.00 to 25.00 dB"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("0.5833   12.50 dB"), std::string::npos) << info.out;  // (12.5 + 5) / 30

    Vst2Instance plugin;
    std::string error;
    ASSERT_TRUE(plugin.Load(kVelmor, 44100.0, 256, error)) << error;
    ParameterAccess p(plugin);
    const struct {
        const char* setting;
        int index;
        const char* display;
        float normalised;
    } cases[] = {
        {"Pres Comp=2.5", 0, "2.50", 0.25f},        // (2.5 + 5) / 30
        {"Db Output=-6.5db", 6, "-6.50", 0.47f},    // the unit in another case; (-6.5 + 30) / 50
        {"Db Output=+1.25 DB", 6, "1.25", 0.625f},  // (1.25 + 30) / 50
        {"Final Comp=3e-2 dB", 5, "0.03", 0.01f},   // exponent form
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(p.Apply(c.setting, error)) << c.setting << ": " << error;
        EXPECT_EQ(p.Display(c.index), c.display) << c.setting;
        EXPECT_NEAR(p.Get(c.index), c.normalised, 1e-6) << c.setting;
    }
    // A comma or a hexadecimal form is not a number here, whatever the
    // locale or the C runtime would make of it.
    for (const char* setting : {"Pres Comp=2,5", "Pres Comp=0x1p1"}) {
        error.clear();
        EXPECT_FALSE(p.Apply(setting, error)) << setting;
        EXPECT_NE(error.find("is not a number"), std::string::npos) << setting << " gave: " << error;
        EXPECT_EQ(p.Display(0), "2.50") << setting;
    }
}

}  // namespace
