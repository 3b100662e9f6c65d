#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "raster/blit.h"
#include "raster/mem_bitmap.h"
#include "raster/sys_bitmap.h"
#include "tests/raster/test_bitmaps.h"

using rastertest::Bgra;
using rastertest::BottomUpBitmap;
using rastertest::FillBitmap;
using rastertest::ReadPixel;
using rastertest::WritePixel;

namespace {

// One source pixel over one destination pixel. Expected values are worked
// by hand from the blend formulas (÷ truncates toward zero).
struct PixelCase {
    const char* name;
    BlendMode mode;
    float weight;
    Bgra source;
    Bgra dest;
    Bgra expected;
};

// clang-format off
const PixelCase kPixelCases[] = {
    // Source-alpha copy, full weight: colour 200 + (100 - 200) * 127 / 256 =
    // 200 - 49; alpha 200 + 128 saturates.
    {"over, alpha 128, weight 1", UseSourceAlpha | BlendCopy, 1.0f, {200, 200, 200, 128}, {100, 100, 100, 200}, {151, 151, 151, 255}},
    // Mixed channels: 0 + (255 - 0) * 155 / 256 = 154; 255 + (0 - 255) * 155 / 256 = 255 - 154 = 101.
    {"over, alpha 100, weight 1", UseSourceAlpha | BlendCopy, 1.0f, {0, 255, 40, 100}, {255, 0, 40, 20}, {154, 101, 40, 120}},
    {"over, alpha 0 leaves the pixel", UseSourceAlpha | BlendCopy, 1.0f, {1, 2, 3, 0}, {9, 8, 7, 6}, {9, 8, 7, 6}},
    {"over, alpha 255 replaces", UseSourceAlpha | BlendCopy, 1.0f, {1, 2, 3, 255}, {9, 8, 7, 6}, {1, 2, 3, 255}},
    // Weight 0.5: W = 128, P = 128 * 129 / 256 = 64; 200 + (100 - 200) * 192 / 256 = 125; alpha 100 + 64.
    {"over, alpha 128, weight 0.5", UseSourceAlpha | BlendCopy, 0.5f, {200, 200, 200, 128}, {100, 100, 100, 100}, {125, 125, 125, 164}},
    // Weight 0.999: W = 255, P = 255 * 129 / 256 = 128; 200 - 100 * 128 / 256 = 150; alpha 10 + 128.
    {"over, weight 0.999 uses the partial form", UseSourceAlpha | BlendCopy, 0.999f, {200, 200, 200, 128}, {100, 100, 100, 10}, {150, 150, 150, 138}},
    // Plain copy copies alpha too.
    {"copy, weight 1", BlendCopy, 1.0f, {1, 2, 3, 4}, {9, 8, 7, 6}, {1, 2, 3, 4}},
    // Weight 0.5 halves each side with truncation: 201/2 + 100/2 = 150, 100/2 + 51/2 = 75,
    // 7/2 + 255/2 = 130, 255/2 + 0 = 127.
    {"copy, weight 0.5 averages", BlendCopy, 0.5f, {100, 51, 255, 0}, {201, 100, 7, 255}, {150, 75, 130, 127}},
    // Weight 0.25: W = 64; 100 + 100 * 192 / 256 = 175; 200 - 100 * 192 / 256 = 125;
    // 255 - 255 * 192 / 256 = 255 - 191 = 64; 0 + 255 * 192 / 256 = 191.
    {"copy, weight 0.25 mixes", BlendCopy, 0.25f, {100, 200, 255, 0}, {200, 100, 0, 255}, {175, 125, 64, 191}},
    {"copy, negative weight draws nothing", BlendCopy, -0.5f, {1, 2, 3, 4}, {9, 8, 7, 6}, {9, 8, 7, 6}},
    {"add, weight 1 saturates", BlendAdd, 1.0f, {200, 200, 200, 200}, {100, 100, 100, 100}, {255, 255, 255, 255}},
    // W = 128: 10 + 200/2, 10 + 1/2, 10 + 255/2, 10 + 3/2.
    {"add, weight 0.5", BlendAdd, 0.5f, {200, 1, 255, 3}, {10, 10, 10, 10}, {110, 10, 137, 11}},
    // Dodge at W = 256: t = s; 100 * 256 / 128 = 200; s = 0 keeps d; s = 255 saturates any d > 0.
    {"dodge, weight 1", BlendDodge, 1.0f, {128, 0, 255, 255}, {100, 77, 0, 1}, {200, 77, 0, 255}},
    // W = 128: t = 64 -> 25600 / 192 = 133; t = 127 -> 25600 / 129 = 198; t = 0 keeps d.
    {"dodge, weight 0.5", BlendDodge, 0.5f, {128, 255, 1, 0}, {100, 100, 100, 50}, {133, 198, 100, 50}},
    // Source-alpha add: a = 127, P = 256 * 128 / 256 = 128; 100 + 100, 200 + 127 -> 255, 50 + 0;
    // alpha 10 + 127 * 128 / 256 = 73.
    {"add with source alpha", UseSourceAlpha | BlendAdd, 1.0f, {200, 255, 1, 127}, {100, 200, 50, 10}, {200, 255, 50, 73}},
    // Source-alpha dodge: a = 127, P = 128; blue t = 64 -> 133; green keeps 100; red t = 127 -> 198;
    // alpha (s = a = 127) t = 63 -> 25600 / 193 = 132.
    {"dodge with source alpha", UseSourceAlpha | BlendDodge, 1.0f, {128, 0, 255, 127}, {100, 100, 100, 100}, {133, 100, 198, 132}},
    // a = 0 still dodges, by P = 1: t = 255 * 1 / 256 = 0, so nothing moves.
    {"dodge with source alpha 0", UseSourceAlpha | BlendDodge, 1.0f, {255, 255, 255, 0}, {100, 100, 100, 100}, {100, 100, 100, 100}},
    // Bit 8 takes no part in choosing the operation.
    {"bit 8 is ignored", BlendAdd | 0x100, 0.5f, {200, 1, 255, 3}, {10, 10, 10, 10}, {110, 10, 137, 11}},
    {"mode 6 draws nothing", 6, 1.0f, {1, 2, 3, 255}, {9, 8, 7, 6}, {9, 8, 7, 6}},
    {"source alpha with operation 3 draws nothing", UseSourceAlpha | 3, 1.0f, {1, 2, 3, 255}, {9, 8, 7, 6}, {9, 8, 7, 6}},
    {"weight 0 draws nothing", BlendCopy, 0.0f, {1, 2, 3, 255}, {9, 8, 7, 6}, {9, 8, 7, 6}},
    {"NaN weight draws nothing", UseSourceAlpha | BlendCopy, std::numeric_limits<float>::quiet_NaN(), {1, 2, 3, 255}, {9, 8, 7, 6}, {9, 8, 7, 6}},
};
// clang-format on

class BlendPixel : public ::testing::TestWithParam<PixelCase> {};

TEST_P(BlendPixel, CombinesOneSourcePixelOntoOneDestinationPixel) {
    const PixelCase& c = GetParam();
    MemBitmap source(1, 1);
    MemBitmap dest(1, 1);
    WritePixel(source, 0, 0, c.source);
    WritePixel(dest, 0, 0, c.dest);
    BlitBitmap(&dest, &source, 0, 0, nullptr, c.weight, c.mode);
    EXPECT_EQ(ReadPixel(dest, 0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, BlendPixel, ::testing::ValuesIn(kPixelCases),
                         [](const ::testing::TestParamInfo<PixelCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Weights outside 0..1 are not used by the editor, but must stay defined:
// results clamp to 0..255 and huge or infinite weights do not overflow.
TEST(BlendPixel, OutOfRangeWeightsStayWithinTheChannelRange) {
    const float weights[] = {
        2.0f, -2.0f, 1e30f, -1e30f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    const BlendMode modes[] = {BlendCopy,
                               BlendAdd,
                               BlendDodge,
                               UseSourceAlpha | BlendCopy,
                               UseSourceAlpha | BlendAdd,
                               UseSourceAlpha | BlendDodge};
    for (float weight : weights) {
        for (BlendMode mode : modes) {
            MemBitmap source(2, 1);
            MemBitmap dest(2, 1);
            WritePixel(source, 0, 0, {250, 5, 128, 200});
            WritePixel(source, 1, 0, {0, 255, 1, 255});
            FillBitmap(dest, {3, 252, 128, 100});
            BlitBitmap(&dest, &source, 0, 0, nullptr, weight, mode);  // UBSan watches the arithmetic
        }
    }
    // Weight 2 (W = 512) copy extrapolates: s + (d - s) * (256 - 512) / 256 = 2s - d, clamped:
    // 500 - 3 -> 255, 10 - 252 -> 0, 256 - 128 = 128, 400 - 100 -> 255.
    MemBitmap source(1, 1);
    MemBitmap dest(1, 1);
    WritePixel(source, 0, 0, {250, 5, 128, 200});
    WritePixel(dest, 0, 0, {3, 252, 128, 100});
    BlitBitmap(&dest, &source, 0, 0, nullptr, 2.0f, BlendCopy);
    EXPECT_EQ(ReadPixel(dest, 0, 0), (Bgra{255, 0, 128, 255}));
}

// ---- clipping -------------------------------------------------------------

// Source pixels carry their own coordinates, so a wrong offset shows.
Bgra SourceMark(int x, int y) { return Bgra{x, y, 77, 255}; }
const Bgra kUntouched{0, 0, 0, 0};

struct ClipCase {
    const char* name;
    int sourceWidth, sourceHeight;
    int destX, destY;
    bool hasRect;
    IRectangle rect;
    // Destination area drawn, and source = destination + offset inside it.
    int left, top, right, bottom;
    int offsetX, offsetY;
};

// clang-format off
const ClipCase kClipCases[] = {
    {"whole source at the origin", 4, 3, 0, 0, false, {}, 0, 0, 4, 3, 0, 0},
    {"destX -10 skips the first 10 columns", 16, 3, -10, 0, false, {}, 0, 0, 6, 3, 10, 0},
    // A source wider than what is left of the destination, placed at a
    // negative x: the right edge is cut at the destination's, not the
    // source's, or the rows run past their end.
    {"wide source at destX -5 is cut on both sides", 30, 3, -5, 0, false, {}, 0, 0, 10, 3, 5, 0},
    {"wide rect at destX -3 is cut on both sides", 30, 3, -3, 1, true, {2, 0, 30, 3}, 0, 1, 10, 4, 5, -1},
    {"destY -2 skips the first 2 rows", 4, 3, 0, -2, false, {}, 0, 0, 4, 1, 0, 2},
    {"rect left -5 starts at column 5", 4, 3, 0, 0, true, {-5, 0, 3, 2}, 5, 0, 8, 2, -5, 0},
    {"rect top -1 starts at row 1", 4, 3, 0, 0, true, {1, -1, 3, 2}, 0, 1, 2, 3, 1, -1},
    {"rect wider than the source is cut", 4, 3, 2, 0, true, {1, 1, 100, 100}, 2, 0, 5, 2, -1, 1},
    {"cut at the right and bottom edges", 4, 3, 8, 4, false, {}, 8, 4, 10, 5, -8, -4},
    {"start beyond the width draws nothing", 4, 3, 10, 0, false, {}, 0, 0, 0, 0, 0, 0},
    {"start beyond the height draws nothing", 4, 3, 0, 5, false, {}, 0, 0, 0, 0, 0, 0},
    {"empty rect draws nothing", 4, 3, 0, 0, true, {2, 2, 2, 2}, 0, 0, 0, 0, 0, 0},
    {"rect right of the source draws nothing", 4, 3, 0, 0, true, {5, 0, 9, 3}, 0, 0, 0, 0, 0, 0},
    {"source entirely left of the destination", 4, 3, -4, 0, false, {}, 0, 0, 0, 0, 0, 0},
    // Pushing INT_MIN into range must not overflow: -INT_MIN moves destX
    // from INT_MIN to exactly 0.
    {"extreme rect and position cancel", 4, 3, INT_MIN, INT_MIN, true, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0, 0, 4, 3, 0, 0},
    {"extreme rect pushes beyond the destination", 4, 3, 0, 0, true, {INT_MIN, 0, INT_MAX, INT_MAX}, 0, 0, 0, 0, 0, 0},
    {"extreme negative position", 4, 3, INT_MIN, 0, false, {}, 0, 0, 0, 0, 0, 0},
    {"extreme positive position", 4, 3, INT_MAX, INT_MAX, false, {}, 0, 0, 0, 0, 0, 0},
};
// clang-format on

class BlitClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(BlitClip, DrawsExactlyTheClippedArea) {
    const ClipCase& c = GetParam();
    MemBitmap source(c.sourceWidth, c.sourceHeight);
    for (int y = 0; y < c.sourceHeight; ++y)
        for (int x = 0; x < c.sourceWidth; ++x) WritePixel(source, x, y, SourceMark(x, y));
    MemBitmap dest(10, 5);
    FillBitmap(dest, kUntouched);

    BlitBitmap(&dest, &source, c.destX, c.destY, c.hasRect ? &c.rect : nullptr, 1.0f, BlendCopy);

    for (int y = 0; y < dest.Height(); ++y) {
        for (int x = 0; x < dest.Width(); ++x) {
            const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
            const Bgra expected = inside ? SourceMark(x + c.offsetX, y + c.offsetY) : kUntouched;
            ASSERT_EQ(ReadPixel(dest, x, y), expected) << "at " << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BlitClip, ::testing::ValuesIn(kClipCases),
                         [](const ::testing::TestParamInfo<ClipCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// Every mode honours the clip and leaves the row-stride slack alone.
TEST(BlitClip, NoModeWritesOutsideTheClippedAreaOrIntoRowSlack) {
    const BlendMode modes[] = {BlendCopy,
                               BlendAdd,
                               BlendDodge,
                               UseSourceAlpha | BlendCopy,
                               UseSourceAlpha | BlendAdd,
                               UseSourceAlpha | BlendDodge};
    const float weights[] = {1.0f, 0.5f, 0.3f};
    for (BlendMode mode : modes) {
        for (float weight : weights) {
            MemBitmap source(6, 6);
            FillBitmap(source, {200, 100, 50, 128});
            MemBitmap dest(5, 3);  // stride 8: three slack pixels per row
            std::fill(dest.PixelPointer(), dest.PixelPointer() + dest.RowStride() * dest.Height(),
                      PackedPixel{7, 7, 7, 7});
            BlitBitmap(&dest, &source, 2, 1, nullptr, weight, mode);
            for (int y = 0; y < dest.Height(); ++y) {
                for (int x = 0; x < dest.RowStride(); ++x) {
                    const bool drawn = x >= 2 && x < 5 && y >= 1;
                    if (drawn) continue;
                    const PackedPixel p = dest.PixelPointer()[y * dest.RowStride() + x];
                    ASSERT_EQ(PixelWord(p), 0x07070707u)
                        << "mode " << mode << " weight " << weight << " at " << x << ", " << y;
                }
            }
        }
    }
}

// ---- storage order and missing pixels ------------------------------------

TEST(BlitRows, BottomUpBitmapsAreWalkedTopRowFirst) {
    BottomUpBitmap source(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) WritePixel(source, x, y, SourceMark(x, y));
    // The source's image row 0 is its last storage row.
    EXPECT_EQ(PixelWord(source.PixelPointer()[1 * source.RowStride()]), PixelWord(PackedPixel{0, 0, 77, 255}));

    const struct {
        BlendMode mode;
        float weight;
    } paths[] = {{BlendCopy, 1.0f}, {BlendCopy, 0.5f}, {UseSourceAlpha | BlendCopy, 1.0f}};
    for (const auto& path : paths) {
        MemBitmap topDown(4, 3);
        FillBitmap(topDown, kUntouched);
        BlitBitmap(&topDown, &source, 1, 1, nullptr, path.weight, path.mode);
        BottomUpBitmap bottomUp(4, 3);
        BlitBitmap(&bottomUp, &source, 1, 1, nullptr, path.weight, path.mode);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                Bgra expected = kUntouched;
                if (x >= 1 && y >= 1) {
                    const Bgra s = SourceMark(x - 1, y - 1);
                    expected = path.weight == 0.5f ? Bgra{s.b / 2, s.g / 2, s.r / 2, s.a / 2} : s;
                }
                EXPECT_EQ(ReadPixel(topDown, x, y), expected) << "top-down dest at " << x << ", " << y;
                EXPECT_EQ(ReadPixel(bottomUp, x, y), expected) << "bottom-up dest at " << x << ", " << y;
            }
        }
    }
}

// A bitmap kind reporting a stride below its width cannot be walked safely.
class NarrowStrideBitmap : public MemBitmap {
public:
    NarrowStrideBitmap() : MemBitmap(8, 2) {}
    int RowStride() const override { return 2; }
};

TEST(BlitRows, MissingBitmapsOrPixelsDrawNothing) {
    MemBitmap source(2, 2);
    FillBitmap(source, {1, 2, 3, 255});
    MemBitmap dest(2, 2);
    FillBitmap(dest, {9, 9, 9, 9});
    MemBitmap empty;
    SysBitmap noPixels(0, 0);
    NarrowStrideBitmap narrow;

    BlitBitmap(nullptr, &source, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&dest, nullptr, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&empty, &source, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&dest, &empty, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&dest, &noPixels, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&noPixels, &source, 0, 0, nullptr, 1.0f, BlendCopy);
    BlitBitmap(&dest, &narrow, 0, 0, nullptr, 1.0f, BlendCopy);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(ReadPixel(dest, x, y), (Bgra{9, 9, 9, 9}));
}

// Drawing a bitmap onto itself with an overlap is defined (rows move as with
// memmove), not undefined.
TEST(BlitRows, OverlappingCopyOntoItselfMovesTheRows) {
    MemBitmap bitmap(6, 1);
    for (int x = 0; x < 6; ++x) WritePixel(bitmap, x, 0, SourceMark(x, 0));
    const IRectangle rect{0, 0, 4, 1};
    BlitBitmap(&bitmap, &bitmap, 2, 0, &rect, 1.0f, BlendCopy);
    const int expectedX[] = {0, 1, 0, 1, 2, 3};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(ReadPixel(bitmap, x, 0), SourceMark(expectedX[x], 0)) << x;
}

}  // namespace
