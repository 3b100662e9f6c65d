#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/test_effect.h"

namespace {

struct ChannelIOCase {
    const char* name;
    const char* channelIO;
    std::vector<std::pair<int, int>> configs;
    int inputs;
    int outputs;
    bool monoLegal;  // LegalIO(1, any)
};

const ChannelIOCase kChannelIOCases[] = {
    {"MonoAndStereo", "1-1 2-2", {{1, 1}, {2, 2}}, 2, 2, true},
    {"StereoOnly", "2-2", {{2, 2}}, 2, 2, false},
    {"MonoToStereo", "1-2", {{1, 2}}, 1, 2, true},
    {"Garbage", "garbage", {{0, 0}}, 0, 0, false},
    {"Empty", "", {{0, 0}}, 0, 0, false},
    {"GarbageBetween", "1-1 x 2-2", {{1, 1}, {0, 0}, {2, 2}}, 2, 2, true},
    {"MissingOutput", "3", {{3, 0}}, 3, 0, false},
    {"WidestWins", "4-1 1-6", {{4, 1}, {1, 6}}, 4, 6, true},
};

class ChannelIO : public ::testing::TestWithParam<ChannelIOCase> {};

TEST_P(ChannelIO, ParsesPairsAndBuildsChannels) {
    const ChannelIOCase& c = GetParam();
    TestEffect effect(c.channelIO);
    ASSERT_EQ(effect.ChannelConfigCount(), static_cast<int>(c.configs.size()));
    for (int i = 0; i < effect.ChannelConfigCount(); ++i) {
        EXPECT_EQ(effect.GetChannelConfig(i)->nIn, c.configs[i].first) << i;
        EXPECT_EQ(effect.GetChannelConfig(i)->nOut, c.configs[i].second) << i;
    }
    ASSERT_EQ(effect.InputCount(), c.inputs);
    ASSERT_EQ(effect.OutputCount(), c.outputs);
    EXPECT_EQ(effect.LegalIO(1, -1), c.monoLegal);
    for (int i = 0; i < c.inputs; ++i) {
        EXPECT_FALSE(effect.GetInput(i)->connected);
        EXPECT_EQ(effect.GetInput(i)->entry, effect.InputPointers() + i);
        EXPECT_EQ(effect.InputPointers()[i], nullptr);
    }
    for (int i = 0; i < c.outputs; ++i) {
        EXPECT_FALSE(effect.GetOutput(i)->connected);
        EXPECT_EQ(effect.GetOutput(i)->entry, effect.OutputPointers() + i);
        EXPECT_EQ(effect.OutputPointers()[i], nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Strings, ChannelIO, ::testing::ValuesIn(kChannelIOCases),
                         [](const auto& info) { return std::string(info.param.name); });

class BlockBuffers : public ::testing::Test {
protected:
    void Fill(IChannel* channel, double v) {
        for (int i = 0; i < channel->ScratchFrames(); ++i) channel->Scratch()[i] = v;
    }
    static bool AllEqual(IChannel* channel, double v) {
        for (int i = 0; i < channel->ScratchFrames(); ++i) {
            if (channel->Scratch()[i] != v) return false;
        }
        return true;
    }
    TestEffect effect;
};

TEST_F(BlockBuffers, ResizeZeroesOnlyOnANewSize) {
    effect.ResizeBlockBuffers(64);
    ASSERT_EQ(effect.BlockSize(), 64);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(effect.GetInput(i)->ScratchFrames(), 64);
        ASSERT_EQ(effect.GetOutput(i)->ScratchFrames(), 64);
        Fill(effect.GetInput(i), 0.5);
        Fill(effect.GetOutput(i), 0.5);
    }
    effect.ResizeBlockBuffers(64);
    EXPECT_TRUE(AllEqual(effect.GetInput(1), 0.5)) << "same size keeps the contents";
    for (int frames : {0, -1}) {
        effect.ResizeBlockBuffers(frames);
        EXPECT_EQ(effect.BlockSize(), 64) << frames;
        EXPECT_EQ(effect.GetOutput(0)->ScratchFrames(), 64) << frames;
        EXPECT_TRUE(AllEqual(effect.GetOutput(0), 0.5)) << frames;
    }
    effect.ResizeBlockBuffers(8192);
    EXPECT_EQ(effect.BlockSize(), 8192);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(effect.GetInput(i)->ScratchFrames(), 8192);
        EXPECT_TRUE(AllEqual(effect.GetInput(i), 0.0));
        EXPECT_TRUE(AllEqual(effect.GetOutput(i), 0.0));
    }
}

TEST_F(BlockBuffers, UnconnectedEntriesFollowTheirScratch) {
    double hostBuffer[4] = {};
    effect.SetInputConnected(0, true);
    *effect.GetInput(0)->entry = hostBuffer;  // as an audio callback would
    effect.ResizeBlockBuffers(16);
    effect.ResizeBlockBuffers(100000);  // moves every scratch block
    EXPECT_EQ(effect.InputPointers()[0], hostBuffer) << "connected entries belong to the callbacks";
    EXPECT_EQ(effect.InputPointers()[1], effect.GetInput(1)->Scratch());
    EXPECT_EQ(effect.OutputPointers()[0], effect.GetOutput(0)->Scratch());
    EXPECT_EQ(effect.OutputPointers()[1], effect.GetOutput(1)->Scratch());
}

TEST_F(BlockBuffers, DisconnectingFeedsSilence) {
    effect.ResizeBlockBuffers(32);
    for (int i = 0; i < 2; ++i) {
        effect.SetInputConnected(i, true);
        effect.SetOutputConnected(i, true);
    }
    double stale[1] = {};
    *effect.GetInput(1)->entry = stale;
    Fill(effect.GetInput(1), 0.75);  // the last stereo block
    Fill(effect.GetOutput(1), 0.75);

    effect.SetInputConnected(1, false);
    effect.SetOutputConnected(1, false);
    EXPECT_FALSE(effect.GetInput(1)->connected);
    EXPECT_EQ(effect.InputPointers()[1], effect.GetInput(1)->Scratch());
    EXPECT_TRUE(AllEqual(effect.GetInput(1), 0.0));
    EXPECT_EQ(effect.OutputPointers()[1], effect.GetOutput(1)->Scratch());
    EXPECT_TRUE(AllEqual(effect.GetOutput(1), 0.0));

    // Connecting sets only the flag.
    Fill(effect.GetInput(1), 0.25);
    effect.SetInputConnected(1, true);
    EXPECT_TRUE(effect.GetInput(1)->connected);
    EXPECT_EQ(effect.InputPointers()[1], effect.GetInput(1)->Scratch());
    EXPECT_TRUE(AllEqual(effect.GetInput(1), 0.25));

    // Indexes out of range change nothing.
    effect.SetInputConnected(2, false);
    effect.SetOutputConnected(-1, false);
}

TEST(EffectBase, DefaultProcessCopiesMatchingChannelsAndZeroesTheRest) {
    TestEffect effect("1-2");
    double in0[3] = {1, 2, 3};
    double out0[3] = {9, 9, 9};
    double out1[3] = {9, 9, 9};
    double* inputs[] = {in0};
    double* outputs[] = {out0, out1};
    effect.ProcessBlock(inputs, outputs, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out0[i], in0[i]);
        EXPECT_EQ(out1[i], 0.0);
    }
    // In place, as the double-precision path may hand it.
    double* same[] = {in0};
    double* sameOut[] = {in0, out1};
    effect.ProcessBlock(same, sameOut, 3);
    EXPECT_EQ(in0[2], 3.0);
}

TEST(EffectBase, DefaultSingleProcessIsBoundedByOutputs) {
    TestEffect effect("2-1");
    float in0[2] = {1, 2};
    float in1[2] = {3, 4};
    float out0[2] = {9, 9};
    float* inputs[] = {in0, in1};
    float* outputs[] = {out0};  // only one output array: the second input has nowhere to go
    effect.ProcessBlockSingle(inputs, outputs, 2);
    EXPECT_EQ(out0[0], 1.0f);
    EXPECT_EQ(out0[1], 2.0f);

    TestEffect wide("1-2");
    float out1[2] = {9, 9};
    float* wideOut[] = {out0, out1};
    wide.ProcessBlockSingle(inputs, wideOut, 2);
    EXPECT_EQ(out1[0], 0.0f);
    EXPECT_EQ(out1[1], 0.0f);
}

TEST(EffectBase, EditorChangeSetsStepsAndReportsTheGivenValue) {
    TestEffect effect;
    effect.SetParameterFromEditor(8, 0.5);  // int 0..4
    EXPECT_EQ(effect.GetParam(8)->Value(), 2.0);
    ASSERT_EQ(effect.notified.size(), 1u);
    EXPECT_EQ(effect.notified[0], std::make_pair(8, 0.5));
    EXPECT_EQ(effect.changes, std::vector<int>{8});

    // NaN and bad indexes reach neither the parameter nor the host.
    effect.SetParameterFromEditor(8, std::numeric_limits<double>::quiet_NaN());
    effect.SetParameterFromEditor(11, 0.5);
    effect.SetParameterFromEditor(-1, 0.5);
    EXPECT_EQ(effect.GetParam(8)->Value(), 2.0);
    EXPECT_EQ(effect.notified.size(), 1u);
    EXPECT_EQ(effect.changes.size(), 1u);
}

TEST(EffectBase, AttachEditorShowsNormalisedValues) {
    TestEffect effect;
    effect.AttachEditor(nullptr);
    EXPECT_EQ(effect.Editor(), nullptr);
    auto editor = std::make_unique<FakeEditor>();
    FakeEditor* fake = editor.get();
    effect.AttachEditor(std::move(editor));
    ASSERT_EQ(effect.Editor(), fake);
    EXPECT_EQ(fake->surfacesCreated, 1);
    ASSERT_EQ(fake->controls.size(), 11u);
    // Drive 0 of -10..10 -> 0.5; Mode 1 of 0..3 -> 1/3; Curve 0.25 with shape 2 -> 0.5.
    const double expected[11] = {0.5, 1, 0, 0, 1.0 / 3.0, 1.0 / 9.0, 17.0 / 40.0, 0, 0.5, 1, 0.5};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(fake->controls[i].first, i);
        EXPECT_NEAR(fake->controls[i].second, expected[i], 1e-12) << i;
    }
    effect.RefreshEditorControls();
    ASSERT_EQ(fake->shown.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(fake->shown[i].index, i);
        EXPECT_EQ(fake->shown[i].value, kTestDefaults[i]);
        EXPECT_FALSE(fake->shown[i].isNormalized);
    }
}

TEST(EffectBase, EditorIsDeletedFirst) {
    std::vector<std::string> events;
    double valueSeenByEditor = -1;
    {
        auto effect = std::make_unique<TestEffect>();
        TestEffect* plugin = effect.get();
        effect->AttachEditor(std::make_unique<FakeEditor>([&] {
            // Parameters must still be alive: ASan reports it otherwise.
            valueSeenByEditor = plugin->GetParam(9)->Value();
            events.push_back("editor");
        }));
        effect.reset();
        events.push_back("plugin gone");
    }
    EXPECT_EQ(events, (std::vector<std::string>{"editor", "plugin gone"}));
    EXPECT_EQ(valueSeenByEditor, 100.0);
}

}  // namespace
