#include "raster/png_encode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "raster/mem_bitmap.h"
#include "raster/png_loader.h"
#include "tests/raster/test_bitmaps.h"

using rastertest::Bgra;
using rastertest::BottomUpBitmap;
using rastertest::ReadPixel;
using rastertest::WritePixel;

namespace {

// Every pixel different, alpha included, so a swapped channel, a flipped row
// order or a stride mistake shows.
template <typename Bitmap>
void Paint(Bitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) WritePixel(bitmap, x, y, Bgra{x * 7, y * 11, x + y, 255 - x * y});
}

TEST(PngEncode, DecodesBackToTheSamePixelsFromEitherRowOrder) {
    MemBitmap topDown(5, 3);
    BottomUpBitmap bottomUp(5, 3);
    Paint(topDown);
    Paint(bottomUp);
    const IRasterBitmap* sources[] = {&topDown, &bottomUp};
    for (const IRasterBitmap* source : sources) {
        const std::vector<std::uint8_t> bytes = EncodePng(*source);
        ASSERT_FALSE(bytes.empty());
        std::unique_ptr<MemBitmap> back = LoadPngFromMemory(bytes.data(), static_cast<int>(bytes.size()));
        ASSERT_TRUE(back);
        ASSERT_EQ(back->Width(), 5);
        ASSERT_EQ(back->Height(), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(ReadPixel(*back, x, y), ReadPixel(*source, x, y)) << x << "," << y;
    }
}

TEST(PngEncode, SamePixelsGiveSameBytesAndEmptyBitmapsGiveNothing) {
    MemBitmap a(9, 4), b(9, 4);
    Paint(a);
    Paint(b);
    EXPECT_EQ(EncodePng(a), EncodePng(b));
    EXPECT_TRUE(EncodePng(MemBitmap()).empty());
    EXPECT_FALSE(WritePngFile(MemBitmap(), "unused.png"));
}

TEST(PngEncode, FailedWriteLeavesAnExistingFileAlone) {
    const std::string path = ::testing::TempDir() + "png_encode_keep.png";
    MemBitmap picture(2, 2);
    Paint(picture);
    ASSERT_TRUE(WritePngFile(picture, path.c_str()));
    std::unique_ptr<IRasterBitmap> before(LoadPngFromFile(path.c_str()));
    ASSERT_TRUE(before);
    EXPECT_FALSE(WritePngFile(MemBitmap(), path.c_str()));
    std::unique_ptr<IRasterBitmap> after(LoadPngFromFile(path.c_str()));
    ASSERT_TRUE(after);
    EXPECT_EQ(ReadPixel(*after, 1, 1), ReadPixel(picture, 1, 1));
    std::remove(path.c_str());
}

}  // namespace
