#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "core/heap_buffer.h"
#include "tests/core/failing_allocator.h"

namespace {

struct GrowthStep {
    int length;
    bool allowShrink;
    int allocated;  // worked out by hand from the growth rule
};

struct GrowthCase {
    const char* name;
    int granularity;
    std::vector<GrowthStep> steps;
};

// Page-sized granularity: allocation = ((n + 96 + g) & ~4095) - 96 with
// g = max(n/2, granularity) rounded down to 4096 and held to 4096..4 MiB.
// Smaller granularity: allocation = n + max(n/2, granularity).
// Shrink threshold = max(1, min(allocated/2, allocated - 4*granularity)).
const GrowthCase kGrowthCases[] = {
    {"PageFirstByte", 4096, {{1, true, 4000}}},
    {"PageFillsWithoutRealloc", 4096, {{1, true, 4000}, {4000, true, 4000}}},
    {"PageOneMore", 4096, {{1, true, 4000}, {4000, true, 4000}, {4001, true, 8096}}},
    // 4000 + 96 + 4096 = 8192, one page more than 4000 needs on its own.
    {"PageFirstFill", 4096, {{4000, true, 8096}}},
    // g = 10000 -> 8192; 20000 + 96 + 8192 = 28288 -> 24576 - 96.
    {"PageHalfOfLength", 4096, {{20000, true, 24480}}},
    // g = 5000000 -> 4997120 -> clamped to 4194304; 14194400 -> 14192640 - 96.
    {"PageGrowthCappedAt4MiB", 4096, {{10000000, true, 14192544}}},
    // Granularity 10000 rounds down to 8192: 1 + 96 + 8192 = 8289 -> 8192 - 96.
    {"CoarseGranularityRoundsToPages", 10000, {{1, true, 8096}}},
    // Threshold min(12240, 24480 - 16384) = 8096: 100 shrinks to 4000,
    // 8095 to 8096 (8095 + 96 + 4096 = 12287 -> 8192 - 96), 8096 stays.
    {"PageShrinksWellBelowHalf", 4096, {{20000, true, 24480}, {100, true, 4000}}},
    {"PageShrinksJustBelowThreshold", 4096, {{20000, true, 24480}, {8095, true, 8096}}},
    {"PageKeepsAtThreshold", 4096, {{20000, true, 24480}, {8096, true, 24480}}},
    {"NoShrinkWithoutFlag", 4096, {{20000, true, 24480}, {100, false, 24480}}},
    // 8096 - 4*4096 < 0, so the threshold is 1: only 0 frees.
    {"SmallPageKeptUntilEmpty", 4096, {{4000, true, 8096}, {10, true, 8096}, {0, true, 0}}},
    {"ZeroWithoutShrinkKeepsBlock", 4096, {{100, true, 4000}, {0, false, 4000}}},
    {"SmallGranularity", 64, {{10, true, 74}, {75, true, 139}, {200, true, 300}}},
    // Threshold min(150, 300 - 256) = 44: 10 reallocates to 10 + 64.
    {"SmallGranularityShrink", 64, {{200, true, 300}, {10, true, 74}}},
    {"NegativeCountsAsZero", 64, {{10, true, 74}, {-5, true, 0}}},
};

class HeapBufferGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(HeapBufferGrowth, AllocatesByTheGrowthRule) {
    const GrowthCase& c = GetParam();
    IHeapBuffer buffer(c.granularity);
    for (const GrowthStep& step : c.steps) {
        void* data = buffer.SetLength(step.length, step.allowShrink);
        const int expectedLength = step.length < 0 ? 0 : step.length;
        EXPECT_EQ(buffer.Length(), expectedLength) << "after SetLength(" << step.length << ")";
        EXPECT_EQ(buffer.Allocated(), step.allocated) << "after SetLength(" << step.length << ")";
        EXPECT_EQ(data, expectedLength ? static_cast<void*>(buffer.Data()) : nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, HeapBufferGrowth, ::testing::ValuesIn(kGrowthCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeapBuffer, FreshBlockWhenReallocFails) {
    IHeapBuffer buffer(4096);
    buffer.SetLength(100);
    std::memset(buffer.Data(), 0x5a, 100);
    {
        ScopedAllocationFailure reallocOnly(false);
        buffer.SetLength(5000);
    }
    ASSERT_EQ(buffer.Length(), 5000);
    EXPECT_EQ(buffer.Allocated(), 8096);  // g 4096: 5000 + 96 + 4096 = 9192 -> 8192 - 96
    for (int i = 0; i < 100; ++i) ASSERT_EQ(buffer.Data()[i], 0x5a) << i;
}

TEST(HeapBuffer, UnchangedWhenNoMemory) {
    IHeapBuffer buffer(4096);
    buffer.SetLength(3000);  // 3000 + 96 + 4096 = 7192 -> 4096 - 96 = 4000
    buffer.SetLength(4000);
    std::memset(buffer.Data(), 0x33, 4000);
    const auto* before = buffer.Data();
    {
        ScopedAllocationFailure noMemory;
        buffer.SetLength(4001);
    }
    EXPECT_EQ(buffer.Length(), 4000);
    EXPECT_EQ(buffer.Allocated(), 4000);
    EXPECT_EQ(buffer.Data(), before);
    for (int i = 0; i < 4000; ++i) ASSERT_EQ(buffer.Data()[i], 0x33) << i;
}

TEST(HeapBuffer, LengthBeyondIntRangeIsRefused) {
    // INT_MAX + 96 + 4 MiB does not fit an int allocation size.
    IHeapBuffer buffer(4096);
    buffer.SetLength(16);
    EXPECT_EQ(buffer.SetLength(INT_MAX), buffer.Data());
    EXPECT_EQ(buffer.Length(), 16);
    EXPECT_EQ(buffer.Allocated(), 4000);
}

}  // namespace
