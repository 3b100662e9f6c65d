// Every format gives the same plug-in: the same parameters and texts, the
// same state bytes, the same audio to the bit as the core, settings that
// apply from the first sample, and a latency that is where the sound is.
// Each test runs once per driver registered in the executable; the "core"
// driver is the reference. Expected values come from the parameter table
// (ranges, texts) and from the gain law 10^(dB/20).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/formats/format_driver.h"

std::vector<FormatDriverEntry>& FormatDrivers() {
    static std::vector<FormatDriverEntry> drivers;
    return drivers;
}

namespace {

constexpr int kPresComp = 0, kLowCut = 1, kDbOutput = 6, kPower = 7, kMode = 8;
constexpr double kRate = 48000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kBlock = 512;

std::unique_ptr<IFormatDriver> Make(const std::string& name) {
    for (const FormatDriverEntry& e : FormatDrivers()) {
        if (e.name == name) return e.make();
    }
    return nullptr;
}

std::vector<std::string> DriverNames() {
    std::vector<std::string> names;
    for (const FormatDriverEntry& e : FormatDrivers()) names.push_back(e.name);
    return names;
}

// A vocal-like test signal: two partials and a slow swell, different per
// channel, loud enough to drive the limiters.
double Signal(int channel, int frame) {
    const double t = frame / kRate;
    const double swell = 0.5 + 0.45 * std::sin(2 * kPi * 1.3 * t);
    return swell * (0.6 * std::sin(2 * kPi * (180.0 + 40 * channel) * t) + 0.3 * std::sin(2 * kPi * 2400.0 * t));
}

// frames frames of Signal through d, in blocks of kBlock, channel-major.
template <typename T>
std::vector<std::vector<T>> Render(IFormatDriver& d, int channels, int frames, bool* supported = nullptr) {
    std::vector<std::vector<T>> in(channels, std::vector<T>(frames)), out(channels, std::vector<T>(frames));
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i) in[c][i] = static_cast<T>(Signal(c, i));
    bool ok = true;
    for (int done = 0; done < frames; done += kBlock) {
        const T* ins[2];
        T* outs[2];
        for (int c = 0; c < channels; ++c) {
            ins[c] = in[c].data() + done;
            outs[c] = out[c].data() + done;
        }
        const int n = std::min(kBlock, frames - done);
        if constexpr (sizeof(T) == sizeof(float)) {
            d.ProcessFloat(ins, outs, n);
        } else {
            ok = d.ProcessDouble(ins, outs, n) && ok;
        }
    }
    if (supported) *supported = ok;
    return out;
}

class Conformance : public ::testing::TestWithParam<std::string> {
protected:
    // A started instance of this test's driver.
    std::unique_ptr<IFormatDriver> Started(int channels = 2, double rate = kRate) {
        std::unique_ptr<IFormatDriver> d = Make(GetParam());
        std::string error;
        if (!d || !d->Start(rate, kBlock, channels, error)) {
            ADD_FAILURE() << GetParam() << ": " << error;
            return nullptr;
        }
        return d;
    }
};

TEST_P(Conformance, ParametersAndTheirTexts) {
    auto d = Started();
    ASSERT_TRUE(d);
    const char* names[] = {"Pres Comp", "Low Cut", "Presence", "Bass",    "Crispy", "Final Comp",
                           "Db Output", "Power",   "Mode",     "P Limit", "F Limit"};
    const char* defaults[] = {"12.50", "on", "on", "0.00", "0.00", "0.00", "0.00", "on", "A", "on", "off"};
    ASSERT_EQ(d->ParameterCount(), 11);
    for (int id = 0; id < 11; ++id) {
        EXPECT_EQ(d->ParameterName(id), names[id]);
        const std::string text = d->ParameterText(id);
        if (!text.empty()) {
            EXPECT_EQ(text, defaults[id]) << names[id];
        }
    }
    // Typed text: Pres Comp spans -5..25 dB, Db Output -30..20 dB, Mode 0..4.
    struct Typed {
        int id;
        const char* text;
        bool read;
        double normalized;
    } typed[] = {{kPresComp, "7", true, 12.0 / 30.0}, {kLowCut, "off", true, 0.0}, {kMode, "C", true, 0.75},
                 {kDbOutput, "-10", true, 0.4},       {kMode, "E", false, 0.0},    {kPresComp, "nan", false, 0.0}};
    for (const Typed& t : typed) {
        double x = -1.0;
        const bool read = d->ParseParameter(t.id, t.text, &x);
        EXPECT_EQ(read, t.read) << t.text;
        if (read && t.read) {
            EXPECT_NEAR(x, t.normalized, 1e-6) << t.text;
        }
    }
}

TEST_P(Conformance, StateMovesBetweenFormatsAndABadOneChangesNothing) {
    auto d = Started();
    auto core = Make("core");
    std::string error;
    ASSERT_TRUE(d && core && core->Start(kRate, kBlock, 2, error));
    // Values every format carries exactly (32-bit hosts included).
    const double values[11] = {0.75, 0, 1, 0.5, 0.25, 1, 0.5, 0, 0.5, 0, 1};
    for (int id = 0; id < 11; ++id) {
        d->SetParameter(id, values[id]);
        core->SetParameter(id, values[id]);
    }
    const std::vector<std::uint8_t> state = d->SaveState();
    EXPECT_EQ(state, core->SaveState());

    auto fresh = Started();
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(fresh->LoadState(state));
    for (int id = 0; id < 11; ++id) EXPECT_EQ(fresh->GetParameter(id), d->GetParameter(id)) << id;

    std::vector<std::uint8_t> cut(state.begin(), state.begin() + static_cast<std::ptrdiff_t>(state.size() / 2));
    const std::vector<std::uint8_t> garbage = {'n', 'o', 't', ' ', 'o', 'u', 'r', 's'};
    auto other = Started();
    ASSERT_TRUE(other);
    const std::vector<std::uint8_t> before = other->SaveState();
    EXPECT_FALSE(other->LoadState(cut));
    EXPECT_FALSE(other->LoadState(garbage));
    EXPECT_FALSE(other->LoadState({}));
    EXPECT_EQ(other->SaveState(), before);
}

TEST_P(Conformance, TheSameAudioAsTheCoreToTheBit) {
    for (int channels : {2, 1}) {
        auto d = Started(channels);
        auto core = Make("core");
        std::string error;
        ASSERT_TRUE(d && core && core->Start(kRate, kBlock, channels, error));
        for (auto* x : {d.get(), core.get()}) {
            x->SetParameter(kPresComp, 0.75);
            x->SetParameter(kDbOutput, 0.5);
            x->SetParameter(kMode, 0.5);
        }
        EXPECT_EQ(Render<float>(*d, channels, 8192), Render<float>(*core, channels, 8192)) << channels;
        bool doubles = false;
        const auto mine = Render<double>(*d, channels, 4096, &doubles);
        if (doubles) {
            EXPECT_EQ(mine, Render<double>(*core, channels, 4096)) << channels;
        }
    }
}

// Settings made while nothing plays (before the first block, or while
// suspended) are heard from the first sample, with nothing gliding: the
// output gain comes after everything else, so -30 dB gives exactly
// 10^(-30/20) of the 0 dB output, sample for sample.
TEST_P(Conformance, SettingsMadeWhileNothingPlaysApplyFromTheFirstSample) {
    const double gain = std::pow(10.0, -30.0 / 20.0);
    for (bool resumed : {false, true}) {
        SCOPED_TRACE(resumed ? "after a resume" : "fresh");
        auto quiet = Started();
        auto loud = Started();
        ASSERT_TRUE(quiet && loud);
        if (resumed) {
            Render<float>(*quiet, 2, 4800);
            Render<float>(*loud, 2, 4800);
            quiet->Suspend();
            loud->Suspend();
        }
        quiet->SetParameter(kDbOutput, 0.0);  // -30 dB
        loud->SetParameter(kDbOutput, 0.6);   // 0 dB
        if (resumed) {
            quiet->Resume();
            loud->Resume();
        }
        const auto q = Render<float>(*quiet, 2, 960);  // 20 ms
        const auto l = Render<float>(*loud, 2, 960);
        int far = 0;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 960; ++i)
                far += std::fabs(q[c][i] - gain * l[c][i]) > 1e-6 * std::fabs(l[c][i]) + 1e-12;
        EXPECT_EQ(far, 0);
    }
}

// With Power off the output is the input exactly, as late as the reported
// latency (a fresh instance starts at its settings: no fade).
TEST_P(Conformance, PowerOffPassesTheInputThroughAtTheReportedLatency) {
    auto d = Started();
    ASSERT_TRUE(d);
    d->SetParameter(kPower, 0.0);
    const int latency = d->Latency();
    const auto out = Render<float>(*d, 2, 2048);
    int differing = 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 2048; ++i)
            differing += out[c][i] != (i < latency ? 0.0f : static_cast<float>(Signal(c, i - latency)));
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, Conformance, ::testing::ValuesIn(DriverNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
