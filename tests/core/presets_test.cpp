#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/core/failing_allocator.h"
#include "tests/core/test_effect.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const std::vector<std::uint8_t> kHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

double DoubleAt(const IStateChunk& chunk, int offset) {
    double v;
    std::memcpy(&v, chunk.Data() + offset, sizeof v);
    return v;
}

std::vector<std::uint8_t> BytesOf(const IStateChunk& chunk, int from, int count) {
    return std::vector<std::uint8_t>(chunk.Data() + from, chunk.Data() + from + count);
}

void AppendDoubles(IStateChunk& chunk, const std::vector<double>& values) {
    for (double v : values) ASSERT_TRUE(chunk.AppendValue(v));
}

// As the plug-in constructor leaves it: slot 0 holds the defaults under "-".
class Presets : public ::testing::Test {
protected:
    void SetUp() override {
        effect.FillUnsetPresets("-", 1);
        effect.changes.clear();
    }
    void SetAll(const std::vector<double>& values) {
        for (int i = 0; i < 11; ++i) effect.GetParam(i)->SetClamped(values[i]);
    }
    void ExpectValues(const std::vector<double>& values) {
        for (int i = 0; i < 11; ++i) EXPECT_EQ(effect.GetParam(i)->Value(), values[i]) << "parameter " << i;
    }
    std::vector<double> Defaults() const { return std::vector<double>(kTestDefaults, kTestDefaults + 11); }

    TestEffect effect;
};

TEST_F(Presets, ProgramChunkIsHeaderThenValues) {
    IStateChunk chunk;
    ASSERT_TRUE(BeginStateChunk(chunk));
    ASSERT_TRUE(effect.SaveState(chunk));
    ASSERT_EQ(chunk.Length(), 96);
    EXPECT_EQ(BytesOf(chunk, 0, 8), kHeader);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(DoubleAt(chunk, 8 + 8 * i), kTestDefaults[i]) << i;
}

TEST_F(Presets, BankChunkHasOneRecordPerSlot) {
    IStateChunk chunk;
    ASSERT_TRUE(BeginStateChunk(chunk));
    ASSERT_TRUE(effect.SerializePresets(chunk));
    ASSERT_EQ(chunk.Length(), 102);  // 8 + 4 + 1 + 1 + 88
    EXPECT_EQ(BytesOf(chunk, 0, 8), kHeader);
    EXPECT_EQ(BytesOf(chunk, 8, 6), (std::vector<std::uint8_t>{1, 0, 0, 0, '-', 1}));
    for (int i = 0; i < 11; ++i) EXPECT_EQ(DoubleAt(chunk, 14 + 8 * i), kTestDefaults[i]) << i;
}

TEST_F(Presets, TruncatedProgramLoadsWhatItHolds) {
    SetAll({5, 0, 1, 1, 3, 7, 4, 2, 4, 50, 0.5});
    IStateChunk chunk;
    ASSERT_TRUE(BeginStateChunk(chunk));
    AppendDoubles(chunk, {-1, 1, 0, 1, 2});
    int position = 0;
    ASSERT_EQ(ReadStateHeader(chunk, position), 0x10000);
    EXPECT_EQ(effect.LoadState(chunk, position), -1);
    // 0-4 from the data, 5 gets 0 held to its range 1..10, 6-10 unchanged.
    ExpectValues({-1, 1, 0, 1, 2, 1, 4, 2, 4, 50, 0.5});
    EXPECT_EQ(effect.changes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(Presets, LoadHoldsValuesToTheirRanges) {
    IStateChunk chunk;
    // NaN loads as a missing value does; infinities go to the range ends.
    AppendDoubles(chunk, {kNaN, kInf, -kInf, 99, -99, kNaN, 1e300, -1e300, 2, 50, kNaN});
    EXPECT_EQ(effect.UnserializeParams(chunk, 0), 88);
    ExpectValues({0, 1, 0, 1, 0, 1, 20, 0, 2, 50, 0});
    EXPECT_EQ(effect.UnserializeParams(chunk, -1), -1);
    EXPECT_EQ(effect.changes.size(), 22u) << "every load reports every parameter";
}

TEST_F(Presets, ModifyCurrentPresetStoresStateAndKeepsEmptyName) {
    SetAll({1, 0, 1, 0, 2, 3, 4, 1, 1, 10, 1});
    effect.ModifyCurrentPreset("");
    EXPECT_STREQ(effect.PresetNameAt(0), "-");
    ASSERT_EQ(effect.GetPreset(0)->chunk.Length(), 88);
    EXPECT_EQ(DoubleAt(effect.GetPreset(0)->chunk, 8 * 9), 10.0);
    effect.ModifyCurrentPreset(nullptr);
    EXPECT_STREQ(effect.PresetNameAt(0), "-");
    EXPECT_EQ(effect.GetPreset(0)->chunk.Length(), 88) << "the slot is emptied before it is stored";
    effect.ModifyCurrentPreset("Lead");
    EXPECT_STREQ(effect.PresetNameAt(0), "Lead");
}

TEST_F(Presets, NamesAreBoundedTo255Characters) {
    const std::string longName(300, 'x');
    effect.ModifyCurrentPreset(longName.c_str());
    EXPECT_EQ(std::string(effect.PresetNameAt(0)), std::string(255, 'x'));

    // From a bank as well.
    IStateChunk bank;
    ASSERT_TRUE(bank.AppendText(longName));
    ASSERT_TRUE(bank.AppendFlag(false));
    EXPECT_GT(effect.UnserializePresets(bank, 0), 0);
    EXPECT_EQ(std::string(effect.PresetNameAt(0)), "user preset 1")
        << "the unset slot was recalled and captured the state";
}

TEST(PresetRecall, UnsetSlotIsNamedAfterTheUserPresetsAndCapturesState) {
    TestEffect effect("1-1 2-2", 3);
    auto editor = std::make_unique<FakeEditor>();
    FakeEditor* fake = editor.get();
    effect.AttachEditor(std::move(editor));
    effect.GetPreset(0)->SetName("my user preset 1");
    effect.GetParam(9)->SetClamped(42);

    ASSERT_TRUE(effect.RecallPreset(1));
    EXPECT_STREQ(effect.PresetNameAt(1), "user preset 2");
    EXPECT_TRUE(effect.GetPreset(1)->initialised);
    ASSERT_EQ(effect.GetPreset(1)->chunk.Length(), 88);
    EXPECT_EQ(DoubleAt(effect.GetPreset(1)->chunk, 8 * 9), 42.0);
    EXPECT_EQ(effect.CurrentPreset(), 1);
    EXPECT_EQ(effect.presetsChanged, 1);
    EXPECT_EQ(fake->shown.size(), 11u) << "the editor is refreshed";

    // Recalling a set slot loads it.
    effect.GetParam(9)->SetClamped(7);
    effect.changes.clear();
    ASSERT_TRUE(effect.RecallPreset(1));
    EXPECT_EQ(effect.GetParam(9)->Value(), 42.0);
    EXPECT_EQ(effect.changes.size(), 11u);

    EXPECT_FALSE(effect.RecallPreset(3));
    EXPECT_FALSE(effect.RecallPreset(-1));
    EXPECT_STREQ(effect.PresetNameAt(5), "");
    EXPECT_STREQ(effect.PresetNameAt(-1), "");
    EXPECT_EQ(effect.CurrentPreset(), 1);
}

TEST(PresetRecall, FillUnsetPresetsFillsInIndexOrder) {
    TestEffect effect("1-1 2-2", 3);
    effect.RecallPreset(1);
    effect.FillUnsetPresets(nullptr, 1);
    effect.FillUnsetPresets("Init", 5);  // more rounds than free slots
    EXPECT_STREQ(effect.PresetNameAt(0), "Empty");
    EXPECT_STREQ(effect.PresetNameAt(1), "user preset 1");
    EXPECT_STREQ(effect.PresetNameAt(2), "Init");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(effect.GetPreset(i)->initialised);
        EXPECT_EQ(effect.GetPreset(i)->chunk.Length(), 88);
    }
}

TEST(PresetBank, RoundTripRestoresSlotsAndValues) {
    TestEffect source("1-1 2-2", 2);
    source.GetParam(0)->SetClamped(4.5);
    source.FillUnsetPresets("first", 1);
    source.GetParam(0)->SetClamped(-6);
    source.FillUnsetPresets("second", 1);
    IStateChunk bank;
    ASSERT_TRUE(BeginStateChunk(bank));
    ASSERT_TRUE(source.SerializePresets(bank));
    ASSERT_EQ(bank.Length(), 8 + 2 * (4 + 1 + 88) + 5 + 6);  // names "first" and "second"

    TestEffect target("1-1 2-2", 2);
    int position = 0;
    ASSERT_EQ(ReadStateHeader(bank, position), 0x10000);
    EXPECT_EQ(target.UnserializePresets(bank, position), bank.Length());
    EXPECT_STREQ(target.PresetNameAt(0), "first");
    EXPECT_STREQ(target.PresetNameAt(1), "second");
    // The current slot (0) is recalled last.
    EXPECT_EQ(target.GetParam(0)->Value(), 4.5);
    EXPECT_EQ(DoubleAt(target.GetPreset(1)->chunk, 0), -6.0);
}

TEST(PresetBank, TruncatedBankKeepsWhatWasRead) {
    TestEffect effect("1-1 2-2", 2);
    effect.FillUnsetPresets("a", 2);
    IStateChunk bank;
    ASSERT_TRUE(bank.AppendText("new"));
    ASSERT_TRUE(bank.AppendFlag(true));
    AppendDoubles(bank, {3});  // one value of eleven
    EXPECT_EQ(effect.UnserializePresets(bank, 0), -1);
    EXPECT_STREQ(effect.PresetNameAt(0), "new");
    EXPECT_STREQ(effect.PresetNameAt(1), "a") << "reading stopped before the second slot";
    EXPECT_EQ(effect.GetParam(0)->Value(), 0.0) << "slot 0 kept its stored defaults and was recalled";
}

TEST(PresetBank, SlotMarkedUnsetDropsItsOldState) {
    TestEffect effect("1-1 2-2", 1);
    effect.FillUnsetPresets("-", 1);
    IStateChunk bank;
    ASSERT_TRUE(bank.AppendText("x"));
    ASSERT_TRUE(bank.AppendFlag(false));
    effect.GetParam(9)->SetClamped(33);
    EXPECT_EQ(effect.UnserializePresets(bank, 0), 6);
    // The recall of the unset slot captures the current state, alone.
    ASSERT_EQ(effect.GetPreset(0)->chunk.Length(), 88);
    EXPECT_EQ(DoubleAt(effect.GetPreset(0)->chunk, 8 * 9), 33.0);
    effect.GetParam(9)->SetClamped(1);
    ASSERT_TRUE(effect.RecallPreset(0));
    EXPECT_EQ(effect.GetParam(9)->Value(), 33.0);
}

TEST_F(Presets, SerialisersAnswerFalseWhenMemoryRunsOut) {
    IStateChunk chunk;
    // Grown from 3000 bytes the blocks hold 4000: room for one more double.
    ASSERT_TRUE(chunk.Resize(3000));
    ASSERT_TRUE(chunk.Resize(3992));
    IStateChunk bank;
    ASSERT_TRUE(bank.Resize(3000));
    ASSERT_TRUE(bank.Resize(3990));
    ScopedAllocationFailure noMemory;
    EXPECT_FALSE(effect.SerializeParams(chunk));
    EXPECT_EQ(chunk.Length(), 4000);
    EXPECT_FALSE(effect.SerializePresets(bank));
    EXPECT_LE(bank.Length(), 4000);
    IStateChunk empty;
    EXPECT_FALSE(BeginStateChunk(empty));
    EXPECT_EQ(empty.Length(), 0);
}

}  // namespace
