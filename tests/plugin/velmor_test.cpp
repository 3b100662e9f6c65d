// Velmor's parameters turned into coefficients: the formulas on their own,
// then the plug-in driven through its record. Expected values are worked out
// by hand from 10^(dB/20), the Bezier and the voicing table.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "plugin/velmor.h"
#include "plugin/velmor_coefficients.h"
#include "tests/vst/test_host.h"
#include "vst/in_process_effect.h"

namespace {

TEST(Coefficients, DecibelsToGain) {
    // The gains of the parameter ranges are checked through the plug-in
    // below; here the silence threshold and 0 dB.
    struct Row {
        double db, gain;
    } rows[] = {{0.0, 1.0}, {-200.0, 0.0}, {-1e9, 0.0}, {12.5, 4.2169650}};
    for (const Row& r : rows) EXPECT_NEAR(DbToGain(r.db), r.gain, 1e-7 * (1 + r.gain)) << r.db;
    EXPECT_GT(DbToGain(-199.99), 0.0);  // only at or below -200 dB is it silence
}

TEST(Coefficients, CrispyBezier) {
    // (0.1 b (1 - b) + b^2) * 0.498 with b = v / 6.
    struct Row {
        double v, amount;
    } rows[] = {{0.0, 0.0}, {0.01, 30.3282 / 360000.0}, {3.0, 0.13695}, {6.0, 0.498}};
    for (const Row& r : rows) EXPECT_NEAR(CrispyAmount(r.v), r.amount, 1e-12) << r.v;
}

TEST(Coefficients, OnlyModesZeroToFourHaveAVoicingAndTruncationIsSafe) {
    // The voicings themselves are checked through the plug-in below.
    for (int m : {5, -1, INT_MIN}) EXPECT_EQ(VoicingForMode(m), nullptr);
    EXPECT_EQ(VoicingForMode(0), VoicingForMode(1));
    EXPECT_EQ(TruncateToInt(44100.9), 44100);
    EXPECT_EQ(TruncateToInt(-3.7), -3);
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
    EXPECT_EQ(TruncateToInt(1e20), INT_MAX);
    EXPECT_EQ(TruncateToInt(-1e20), INT_MIN);
}

class VelmorTest : public ::testing::Test {
protected:
    void SetUp() override { TestHost::Get().Reset(); }
    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return effect.Record()->dispatcher(effect.Record(), op, index, value, ptr, opt);
    }
    void Set(int index, float x) { effect.Record()->setParameter(effect.Record(), index, x); }
    void ExpectVoicing(double la, double lo, double rl, double rh, double ro) {
        EXPECT_EQ(v.LookaheadBandsMs(), la);
        EXPECT_EQ(v.LookaheadOutputMs(), lo);
        EXPECT_EQ(v.ReleaseLowMs(), rl);
        EXPECT_EQ(v.ReleaseHighMs(), rh);
        EXPECT_EQ(v.ReleaseOutputMs(), ro);
    }
    InProcessEffect effect{TestHost::Callback};
    Velmor& v = effect.As<Velmor>();
};

TEST_F(VelmorTest, ConstructionThenOpen) {
    EXPECT_EQ(v.SampleRateInt(), 0);
    EXPECT_EQ(v.PresCompGain(), 0.0);
    EXPECT_EQ(v.LowCutHz(), 0.0);
    EXPECT_EQ(v.OutputGain(), 0.0);
    EXPECT_EQ(v.PowerMix(), 1.0);
    ExpectVoicing(1.5, 1.5, 160, 160, 280);
    EXPECT_STREQ(v.PresetNameAt(0), "-");
    EXPECT_TRUE(v.GetPreset(0)->initialised);

    Dispatch(effOpen);  // every parameter replayed into the hook
    EXPECT_NEAR(v.PresCompGain(), 4.2169650, 1e-6);
    EXPECT_EQ(v.LowCutHz(), 80.0);
    EXPECT_EQ(v.CrossoverHz(), 250.0);
    EXPECT_EQ(v.BassGain(), 1.0);
    EXPECT_EQ(v.CrispyAmountValue(), 0.0);
    EXPECT_EQ(v.FinalGain(), 1.0);
    EXPECT_EQ(v.OutputGain(), 1.0);
    EXPECT_EQ(v.AttackBandsMs(), 0.0);   // P Limit on
    EXPECT_EQ(v.AttackOutputMs(), 1.0);  // F Limit off
    EXPECT_EQ(v.DriveMeter().mMode.load(), 1);
}

TEST_F(VelmorTest, ParameterChangesReachTheCoefficients) {
    struct Row {
        int index;
        float x;
        double (Velmor::*field)() const;
        double expected;
    } rows[] = {
        {Velmor::kPresComp, 0.0f, &Velmor::PresCompGain, 0.5623413},
        {Velmor::kPresComp, 1.0f, &Velmor::PresCompGain, 17.7827941},
        {Velmor::kDbOutput, 0.0f, &Velmor::OutputGain, 0.0316228},
        {Velmor::kFinalComp, 1.0f, &Velmor::FinalGain, 1.4125375},
        {Velmor::kBass, 1.0f, &Velmor::BassGain, 1.0011520},
        {Velmor::kCrispy, 1.0f, &Velmor::CrispyAmountValue, 30.3282 / 360000.0},
        {Velmor::kLowCut, 0.6f, &Velmor::LowCutHz, 80.0},
        {Velmor::kLowCut, 0.4f, &Velmor::LowCutHz, 20.0},
        {Velmor::kPresence, 0.0f, &Velmor::CrossoverHz, 21.0},
        {Velmor::kPLimit, 0.0f, &Velmor::AttackBandsMs, 1.0},
        {Velmor::kFLimit, 1.0f, &Velmor::AttackOutputMs, 0.0},
    };
    for (const Row& r : rows) {
        Set(r.index, r.x);
        EXPECT_NEAR((v.*r.field)(), r.expected, 1e-7 * (1 + r.expected)) << r.index << " at " << r.x;
    }
}

// Mode 0 shows as "A" everywhere, so it is voicing A whatever came before:
// otherwise a session switched from C to 0 would sound like C, and like A
// once saved and reopened.
TEST_F(VelmorTest, ModeZeroIsVoicingA) {
    const struct {
        float before;  // normalised Mode set first
        float after;
        double la, lo, rl, rh, ro;
    } rows[] = {
        {0.75f, 0.0f, 1.5, 1.5, 160, 160, 280},  // C then 0: A
        {1.0f, 0.0f, 1.5, 1.5, 160, 160, 280},   // D then 0: A
        {0.0f, 1.0f, 0.2, 0.2, 50, 30, 0},       // 0 then D
        {0.0f, 0.5f, 1.0, 1.0, 50, 30, 20},      // 0 then B
        {0.5f, 0.25f, 1.5, 1.5, 160, 160, 280},  // B then 1 "A"
    };
    for (const auto& r : rows) {
        Set(Velmor::kMode, r.before);
        Set(Velmor::kMode, r.after);
        ExpectVoicing(r.la, r.lo, r.rl, r.rh, r.ro);
    }
    Set(Velmor::kMode, 0.75f);
    Set(Velmor::kMode, 0.0f);
    EXPECT_EQ(v.DriveMeter().mMode.load(), 0);  // the stored value stays 0
    EXPECT_EQ(v.OutputMeter().mMode.load(), 0);
    EXPECT_EQ(v.GetParam(Velmor::kMode)->Value(), 0.0);
    // Typed "A" names value 0 first: voicing A again after D.
    Dispatch(effString2Parameter, Velmor::kMode, 0, const_cast<char*>("D"));
    ExpectVoicing(0.2, 0.2, 50, 30, 0);
    Dispatch(effString2Parameter, Velmor::kMode, 0, const_cast<char*>("A"));
    EXPECT_EQ(v.GetParam(Velmor::kMode)->Value(), 0.0);
    ExpectVoicing(1.5, 1.5, 160, 160, 280);
}

// The same state sounds the same in a session and after reopening it: an
// instance switched C then 0 renders what a fresh instance set to 0 renders.
TEST(VelmorModeZero, SoundsLikeAFreshInstanceAtModeZero) {
    TestHost::Get().Reset();
    auto render = [](std::initializer_list<float> modes) {
        InProcessEffect effect{TestHost::Callback};
        AEffect* e = effect.Record();
        e->dispatcher(e, effOpen, 0, 0, nullptr, 0);
        e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0);
        for (float m : modes) e->setParameter(e, Velmor::kMode, m);
        std::vector<double> l(4410), r(4410);
        for (std::size_t i = 0; i < l.size(); ++i) {
            // Loud enough to drive every limiter; releases then differ by voicing.
            l[i] = 0.9 * std::sin(0.05 * static_cast<double>(i)) + (i % 441 == 0 ? 0.5 : 0.0);
            r[i] = 0.8 * std::sin(0.031 * static_cast<double>(i));
        }
        double* io[2] = {l.data(), r.data()};
        for (std::size_t at = 0; at < l.size(); at += 256) {
            const int n = static_cast<int>(std::min<std::size_t>(256, l.size() - at));
            double* in[2] = {io[0] + at, io[1] + at};
            e->processDoubleReplacing(e, in, in, n);
        }
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0);
        return l;
    };
    const std::vector<double> reopened = render({0.0f});
    EXPECT_EQ(render({0.75f, 0.0f}), reopened);
    EXPECT_NE(render({0.75f}), reopened);  // C really sounds different
}

TEST_F(VelmorTest, ResetTruncatesTheRate) {
    Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.9f);
    EXPECT_EQ(v.SampleRateInt(), 44100);
    Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    Dispatch(effSetSampleRate, 0, 0, nullptr, std::nanf(""));  // ignored, the reset keeps 96000
    EXPECT_EQ(v.SampleRateInt(), 96000);
}

TEST_F(VelmorTest, EditorChangesAreAutomatedToTheHost) {
    v.SetParameterFromEditor(Velmor::kMode, 0.5);
    const auto calls = TestHost::Get().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, Velmor::kMode);
    EXPECT_EQ(calls[0].opt, 0.5f);
    EXPECT_EQ(v.GetParam(Velmor::kMode)->Value(), 2.0);
    ExpectVoicing(1.0, 1.0, 50, 30, 20);
}

}  // namespace
