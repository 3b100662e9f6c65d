#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/state_chunk.h"
#include "tests/core/failing_allocator.h"

namespace {

void Fill(IStateChunk& chunk, const std::vector<std::uint8_t>& bytes) {
    chunk.Clear();
    ASSERT_TRUE(chunk.AppendRaw(bytes.data(), static_cast<int>(bytes.size())));
}

std::vector<std::uint8_t> BytesOf(const IStateChunk& chunk) {
    return std::vector<std::uint8_t>(chunk.Data(), chunk.Data() + chunk.Length());
}

TEST(StateChunk, AppendsLittleEndianRecords) {
    IStateChunk chunk;
    ASSERT_TRUE(chunk.AppendValue(std::int32_t{0x01020304}));
    ASSERT_TRUE(chunk.AppendText("ab"));
    ASSERT_TRUE(chunk.AppendFlag(true));
    ASSERT_TRUE(chunk.AppendFlag(false));
    ASSERT_TRUE(chunk.AppendValue(1.0));  // IEEE 754: 3ff0000000000000
    const std::vector<std::uint8_t> expected = {0x04, 0x03, 0x02, 0x01, 2, 0, 0, 0, 'a',  'b',
                                                1,    0,    0,    0,    0, 0, 0, 0, 0xf0, 0x3f};
    EXPECT_EQ(BytesOf(chunk), expected);
}

TEST(StateChunk, AppendBytesCopiesWithoutLength) {
    IStateChunk a;
    Fill(a, {1, 2, 3});
    IStateChunk b;
    Fill(b, {9});
    ASSERT_TRUE(b.AppendBytes(a));
    EXPECT_EQ(BytesOf(b), (std::vector<std::uint8_t>{9, 1, 2, 3}));
    // A chunk appended to itself doubles; its source moves as it grows.
    IStateChunk big;
    for (int i = 0; i < 3000; ++i) big.AppendFlag(i % 2 == 1);
    ASSERT_TRUE(big.AppendBytes(big));
    ASSERT_EQ(big.Length(), 6000);
    for (int i = 0; i < 6000; ++i) ASSERT_EQ(big.Data()[i], (i % 3000) % 2) << i;
}

struct ValueReadCase {
    const char* name;
    int position;
    int expected;
};

// An 8-byte chunk read as int32.
const ValueReadCase kValueReads[] = {
    {"Start", 0, 4},      {"LastWhole", 4, 8},        {"StraddlesEnd", 5, -1},         {"AtEnd", 8, -1},
    {"Negative", -1, -1}, {"FailedPosition", -7, -1}, {"NearIntMax", INT_MAX - 2, -1}, {"IntMax", INT_MAX, -1},
};

class ChunkValueRead : public ::testing::TestWithParam<ValueReadCase> {};

TEST_P(ChunkValueRead, AnswersNextPositionOrFails) {
    IStateChunk chunk;
    Fill(chunk, {1, 0, 0, 0, 2, 0, 0, 0});
    std::int32_t v = 77;
    const int next = chunk.ReadValue(v, GetParam().position);
    EXPECT_EQ(next, GetParam().expected);
    if (next < 0) {
        EXPECT_EQ(v, 77) << "a failed read leaves the value untouched";
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, ChunkValueRead, ::testing::ValuesIn(kValueReads),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::uint8_t> LengthPrefix(std::int32_t length) {
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &length, 4);
    return bytes;
}

struct TextReadCase {
    const char* name;
    std::int32_t storedLength;
    std::string body;
    int position;
    int expectedNext;
    std::string expectedText;  // the text starts as "old"
};

const TextReadCase kTextReads[] = {
    {"Whole", 3, "abc", 0, 7, "abc"},
    {"ZeroLengthKeepsText", 0, "", 0, 4, "old"},
    {"CutOffKeepsTextButMovesOn", 10, "abc", 0, 14, "old"},
    {"NegativeLengthFails", -1, "abc", 0, -1, "old"},
    {"MostNegativeLengthFails", INT_MIN, "", 0, -1, "old"},
    {"NextPositionWouldOverflow", INT_MAX, "", 0, -1, "old"},
    {"NextPositionExactlyIntMax", INT_MAX - 4, "", 0, INT_MAX, "old"},
    {"LengthCutOff", 3, "", 2, -1, "old"},  // only two bytes of the length remain
    {"FromFailedPosition", 3, "abc", -1, -1, "old"},
};

class ChunkTextRead : public ::testing::TestWithParam<TextReadCase> {};

TEST_P(ChunkTextRead, FollowsPositionRules) {
    const TextReadCase& c = GetParam();
    std::vector<std::uint8_t> bytes = LengthPrefix(c.storedLength);
    bytes.insert(bytes.end(), c.body.begin(), c.body.end());
    IStateChunk chunk;
    Fill(chunk, bytes);
    std::string text = "old";
    EXPECT_EQ(chunk.ReadText(text, c.position), c.expectedNext);
    EXPECT_EQ(text, c.expectedText);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ChunkTextRead, ::testing::ValuesIn(kTextReads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StateChunk, FlagReads) {
    IStateChunk chunk;
    Fill(chunk, {0, 2});
    bool b = true;
    EXPECT_EQ(chunk.ReadFlag(b, 0), 1);
    EXPECT_FALSE(b);
    EXPECT_EQ(chunk.ReadFlag(b, 1), 2);
    EXPECT_TRUE(b) << "any non-zero byte is true";
    b = false;
    EXPECT_EQ(chunk.ReadFlag(b, 2), -1);
    EXPECT_EQ(chunk.ReadFlag(b, -1), -1);
    EXPECT_EQ(chunk.ReadFlag(b, INT_MAX), -1);
    EXPECT_FALSE(b);
}

TEST(StateChunk, HeaderIsMagicThenVersion) {
    IStateChunk chunk;
    Fill(chunk, {9, 9, 9});
    ASSERT_TRUE(BeginStateChunk(chunk));
    EXPECT_EQ(BytesOf(chunk), (std::vector<std::uint8_t>{0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
    int position = 0;
    EXPECT_EQ(ReadStateHeader(chunk, position), 0x10000);
    EXPECT_EQ(position, 8);
}

TEST(StateChunk, HeaderReadFailures) {
    int position = 0;
    // The magic with its version cut off.
    IStateChunk cut;
    Fill(cut, {0x74, 0x66, 0x66, 0x70, 0x00, 0x00});
    EXPECT_EQ(ReadStateHeader(cut, position), 0);
    EXPECT_EQ(position, -1);
    // No magic: bare parameter data, position untouched.
    position = 0;
    IStateChunk bare;
    Fill(bare, {0, 0, 0, 0, 0, 0, 0xf0, 0x3f});
    EXPECT_EQ(ReadStateHeader(bare, position), 0);
    EXPECT_EQ(position, 0);
    // Empty chunk.
    const IStateChunk empty;
    EXPECT_EQ(ReadStateHeader(empty, position), 0);
    EXPECT_EQ(position, 0);
    // Found further in.
    position = 2;
    IStateChunk offset;
    Fill(offset, {1, 1, 0x74, 0x66, 0x66, 0x70, 5, 0, 0, 0});
    EXPECT_EQ(ReadStateHeader(offset, position), 5);
    EXPECT_EQ(position, 10);
}

TEST(StateChunk, ResizeZeroFillsNewBytes) {
    IStateChunk chunk;
    Fill(chunk, {7, 7});
    ASSERT_TRUE(chunk.Resize(6));
    EXPECT_EQ(BytesOf(chunk), (std::vector<std::uint8_t>{7, 7, 0, 0, 0, 0}));
    ASSERT_TRUE(chunk.Resize(1));
    EXPECT_EQ(BytesOf(chunk), (std::vector<std::uint8_t>{7}));
    EXPECT_FALSE(chunk.Resize(-1));
    EXPECT_EQ(chunk.Length(), 1);
}

TEST(StateChunk, AppendsFailWholeWhenMemoryRunsOut) {
    // Grown from 3000 bytes the block holds 4000; the next byte needs a new one.
    IStateChunk full;
    ASSERT_TRUE(full.Resize(3000));
    ASSERT_TRUE(full.Resize(4000));
    // 3996 bytes leave room for the 4-byte length of a text but not its bytes.
    IStateChunk nearlyFull;
    ASSERT_TRUE(nearlyFull.Resize(3000));
    ASSERT_TRUE(nearlyFull.Resize(3996));
    ScopedAllocationFailure noMemory;
    EXPECT_FALSE(full.AppendFlag(true));
    EXPECT_FALSE(full.AppendValue(1.0));
    EXPECT_FALSE(full.AppendBytes(full));
    EXPECT_FALSE(full.Resize(4001));
    EXPECT_EQ(full.Length(), 4000);
    EXPECT_FALSE(nearlyFull.AppendText("abcdef"));
    EXPECT_EQ(nearlyFull.Length(), 3996) << "no length left without its text";
}

}  // namespace
