#include "base/bounded_copy.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(BoundedCopy, CutsToTheBufferAndAlwaysTerminates) {
    struct Row {
        const char* text;
        std::size_t size;
        const char* expected;
    } rows[] = {
        {"Pres Comp", 32, "Pres Comp"},  // fits
        {"Pres Comp", 5, "Pres"},        // cut to size - 1
        {"abcd", 5, "abcd"},             // exactly fills it
        {"", 8, ""},
        {nullptr, 8, ""},  // a missing text is the empty text
        {"x", 1, ""},      // room for the terminator only
    };
    for (const Row& r : rows) {
        char out[40];
        std::memset(out, '#', sizeof out);
        CopyBounded(out, r.size, r.text);
        EXPECT_STREQ(out, r.expected) << r.size;
        // Nothing past the given size is touched.
        for (std::size_t i = r.size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << r.size << " at " << i;
    }
}

TEST(BoundedCopy, NoBufferOrNoRoomWritesNothing) {
    char out[4] = {'#', '#', '#', '#'};
    CopyBounded(out, 0, "abc");
    EXPECT_EQ(out[0], '#');
    CopyBounded(nullptr, 8, "abc");  // must not crash
}

TEST(BoundedCopy, OverlappingTextMovesSafely) {
    char field[16] = "xxabcdef";
    CopyBounded(field, sizeof field, field + 2);  // a field renamed from its own tail
    EXPECT_STREQ(field, "abcdef");
    char whole[8];
    CopyBounded(whole, "longer than eight");
    EXPECT_STREQ(whole, "longer ");
}
