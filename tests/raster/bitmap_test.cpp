#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "raster/mem_bitmap.h"
#include "raster/packed_pixel.h"
#include "raster/sys_bitmap.h"

namespace {

bool Is64ByteAligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 64 == 0; }

// Writes every pixel of every storage row: an allocation smaller than
// stride x height shows up under AddressSanitizer.
void TouchAllStorage(IRasterBitmap& bitmap) {
    std::memset(bitmap.PixelPointer(), 0xA5, static_cast<std::size_t>(bitmap.RowStride()) * bitmap.Height() * 4);
}

TEST(PackedPixel, HalfTransparentRedIsStoredBlueGreenRedAlpha) {
    const unsigned char bytes[4] = {0x00, 0x00, 0xFF, 0x80};
    PackedPixel p;
    std::memcpy(&p, bytes, 4);
    EXPECT_EQ(p.r, 0xFF);
    EXPECT_EQ(p.a, 0x80);
    EXPECT_EQ(PixelWord(p), 0x80FF0000u);
}

TEST(MemBitmap, PadsRowsToFourPixelsAndAlignsTheBase) {
    MemBitmap bitmap(5, 3);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.RowStride(), 8);
    EXPECT_EQ(bitmap.Capacity(), 8 * 3 * 4);
    ASSERT_NE(bitmap.PixelPointer(), nullptr);
    EXPECT_TRUE(Is64ByteAligned(bitmap.PixelPointer()));
    TouchAllStorage(bitmap);
    EXPECT_FALSE(bitmap.IsBottomUp());
    EXPECT_EQ(bitmap.DeviceContext(), nullptr);
    EXPECT_EQ(bitmap.ExtensionQuery(1, &bitmap), 0);
}

TEST(MemBitmap, StorageGrowsByAQuarterAndNeverShrinks) {
    MemBitmap bitmap(5, 3);  // 96 bytes
    PackedPixel* const first = bitmap.PixelPointer();

    EXPECT_FALSE(bitmap.SetSize(5, 3));
    EXPECT_EQ(bitmap.PixelPointer(), first);

    EXPECT_TRUE(bitmap.SetSize(3, 2));  // 4 x 2 x 4 = 32 bytes: same block
    EXPECT_EQ(bitmap.PixelPointer(), first);
    EXPECT_EQ(bitmap.RowStride(), 4);
    EXPECT_EQ(bitmap.Capacity(), 96);

    EXPECT_TRUE(bitmap.SetSize(8, 4));  // 128 bytes needed: 128 + 128 / 4
    EXPECT_EQ(bitmap.Capacity(), 160);
    EXPECT_EQ(bitmap.Width(), 8);
    EXPECT_TRUE(Is64ByteAligned(bitmap.PixelPointer()));
    TouchAllStorage(bitmap);

    EXPECT_TRUE(bitmap.SetSize(4, 10));  // exactly 160 bytes: fits the headroom
    EXPECT_EQ(bitmap.Capacity(), 160);
    TouchAllStorage(bitmap);
}

TEST(MemBitmap, EmptySizesHoldNoStorage) {
    MemBitmap bitmap(5, 3);
    EXPECT_TRUE(bitmap.SetSize(0, 0));
    EXPECT_EQ(bitmap.PixelPointer(), nullptr);
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_EQ(bitmap.Capacity(), 0);

    EXPECT_TRUE(bitmap.SetSize(2, 2));  // allocates afresh
    EXPECT_EQ(bitmap.Capacity(), 32);
    EXPECT_NE(bitmap.PixelPointer(), nullptr);

    EXPECT_TRUE(bitmap.SetSize(7, -1));
    EXPECT_EQ(bitmap.PixelPointer(), nullptr);
    EXPECT_EQ(bitmap.Width(), 0);

    const struct { int width, height; } empties[] = {{0, 0}, {0, 5}, {5, 0}, {-1, 3}, {3, -7}};
    for (const auto& e : empties) {
        MemBitmap b(e.width, e.height);
        EXPECT_EQ(b.PixelPointer(), nullptr) << e.width << " x " << e.height;
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
    }
    MemBitmap empty;
    EXPECT_EQ(empty.PixelPointer(), nullptr);
    EXPECT_EQ(empty.RowStride(), 0);
}

// Sizes whose byte count does not fit the int32 capacity behave like failed
// allocations: empty bitmap, no overflowed (tiny) block.
TEST(MemBitmap, SizesBeyondTheCapacityRangeGiveAnEmptyBitmap) {
    const struct { int width, height; } huge[] = {{100000, 100000}, {2147483647, 1}, {1, 2147483647}, {46341, 46341}};
    for (const auto& h : huge) {
        MemBitmap b(h.width, h.height);
        EXPECT_EQ(b.PixelPointer(), nullptr) << h.width << " x " << h.height;
        EXPECT_EQ(b.Width(), 0);

        MemBitmap grown(4, 4);
        EXPECT_TRUE(grown.SetSize(h.width, h.height));
        EXPECT_EQ(grown.PixelPointer(), nullptr);
        EXPECT_EQ(grown.Width(), 0);
        EXPECT_EQ(grown.Capacity(), 0);
    }
}

TEST(SysBitmap, StartsWithoutPixelsAndGetsThemOnTheFirstRealSize) {
    SysBitmap bitmap(0, 0);
    EXPECT_EQ(bitmap.PixelPointer(), nullptr);
    EXPECT_EQ(bitmap.Width(), 0);
    EXPECT_EQ(bitmap.Height(), 0);
#ifdef _WIN32
    EXPECT_NE(bitmap.DeviceContext(), nullptr);
#else
    EXPECT_EQ(bitmap.DeviceContext(), nullptr);
#endif
    EXPECT_TRUE(bitmap.SetSize(10, 10));
    EXPECT_NE(bitmap.PixelPointer(), nullptr);
    EXPECT_EQ(bitmap.RowStride(), 12);
    TouchAllStorage(bitmap);
}

TEST(SysBitmap, KeepsItsStorageAndStrideWhenMadeSmaller) {
    SysBitmap bitmap(10, 10);
    EXPECT_EQ(bitmap.Width(), 10);
    EXPECT_EQ(bitmap.RowStride(), 12);
    EXPECT_FALSE(bitmap.IsBottomUp());
    PackedPixel* const first = bitmap.PixelPointer();
    ASSERT_NE(first, nullptr);

    EXPECT_FALSE(bitmap.SetSize(10, 10));
    EXPECT_TRUE(bitmap.SetSize(5, 7));
    EXPECT_EQ(bitmap.PixelPointer(), first);
    EXPECT_EQ(bitmap.RowStride(), 12);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 7);

    EXPECT_TRUE(bitmap.SetSize(13, 2));  // wider than the storage: replaced
    EXPECT_EQ(bitmap.RowStride(), 16);
    ASSERT_NE(bitmap.PixelPointer(), nullptr);
    TouchAllStorage(bitmap);

    EXPECT_TRUE(bitmap.SetSize(3, 9));  // taller than the storage: replaced, exact width
    EXPECT_EQ(bitmap.RowStride(), 4);
    TouchAllStorage(bitmap);
}

TEST(SysBitmap, NonPositiveOrHugeSizesLeaveNoPixels) {
    SysBitmap bitmap(8, 8);
    EXPECT_FALSE(bitmap.SetSize(0, 0));  // storage dropped; nothing to allocate
    EXPECT_EQ(bitmap.PixelPointer(), nullptr);

    SysBitmap negative(-3, 4);
    EXPECT_EQ(negative.PixelPointer(), nullptr);
    EXPECT_LE(negative.Width(), 0);

    // A negative width must not pass as "fits in the current storage".
    SysBitmap shrunk(8, 8);
    shrunk.SetSize(-5, 4);
    EXPECT_EQ(shrunk.PixelPointer(), nullptr);
    EXPECT_EQ(shrunk.Width(), 0);

    SysBitmap huge(100000, 100000);
    EXPECT_EQ(huge.PixelPointer(), nullptr);
    EXPECT_EQ(huge.Width(), 0);
    EXPECT_EQ(huge.Height(), 0);
    EXPECT_TRUE(huge.SetSize(4, 4));
    EXPECT_NE(huge.PixelPointer(), nullptr);
}

}  // namespace
