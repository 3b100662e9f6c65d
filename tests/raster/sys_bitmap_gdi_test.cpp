// The Windows drawing surface is a DIB section: GDI calls on its device
// context and the raster routines on its pixel pointer must meet in the same
// pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "raster/blit.h"
#include "raster/mem_bitmap.h"
#include "raster/sys_bitmap.h"
#include "tests/raster/test_bitmaps.h"

using rastertest::Bgra;
using rastertest::ReadPixel;
using rastertest::WritePixel;

namespace {

HDC Dc(const SysBitmap& bitmap) { return static_cast<HDC>(bitmap.DeviceContext()); }

void Clear(SysBitmap& bitmap) {
    GdiFlush();
    std::memset(bitmap.PixelPointer(), 0, static_cast<std::size_t>(bitmap.RowStride()) * bitmap.Height() * 4);
}

TEST(SysBitmapGdi, IsATopDown32BitSectionSelectedIntoItsDc) {
    SysBitmap surface(10, 10);
    ASSERT_NE(Dc(surface), nullptr);
    HGDIOBJ selected = GetCurrentObject(Dc(surface), OBJ_BITMAP);
    DIBSECTION section = {};
    ASSERT_EQ(GetObject(selected, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmBits, surface.PixelPointer());
    EXPECT_EQ(section.dsBmih.biWidth, 12);
    // GetObject reports the height without its sign, so top-down storage is
    // checked by where GDI's drawing lands in the tests below.
    EXPECT_EQ(section.dsBm.bmHeight, 10);
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    EXPECT_EQ(section.dsBmih.biCompression, static_cast<DWORD>(BI_RGB));
}

TEST(SysBitmapGdi, BlittedPixelsReadBackThroughGdi) {
    SysBitmap surface(10, 10);
    Clear(surface);
    MemBitmap source(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) WritePixel(source, x, y, Bgra{x * 20, y * 20, 77, 255});
    BlitBitmap(&surface, &source, 0, 0, nullptr, 1.0f, BlendCopy);

    // A half-transparent white pixel over (3, 3): 255 + (60 - 255) * 127 / 256 = 159 blue,
    // green the same from 60, red 255 + (77 - 255) * 127 / 256 = 167.
    MemBitmap overlay(1, 1);
    WritePixel(overlay, 0, 0, Bgra{255, 255, 255, 128});
    BlitBitmap(&surface, &overlay, 3, 3, nullptr, 1.0f, UseSourceAlpha | BlendCopy);
    GdiFlush();

    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            COLORREF expected = RGB(77, y * 20, x * 20);
            if (x == 3 && y == 3) expected = RGB(167, 159, 159);
            EXPECT_EQ(GetPixel(Dc(surface), x, y), expected) << x << ", " << y;
        }
    }
}

TEST(SysBitmapGdi, GdiDrawingShowsThroughThePixelPointer) {
    SysBitmap surface(10, 10);
    Clear(surface);
    EXPECT_NE(SetPixel(Dc(surface), 3, 4, RGB(10, 20, 30)), static_cast<COLORREF>(-1));
    HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
    const RECT area = {5, 1, 8, 3};
    FillRect(Dc(surface), &area, brush);
    DeleteObject(brush);
    GdiFlush();

    // GDI leaves the alpha byte to us; compare colour only.
    auto colour = [&](int x, int y) {
        Bgra p = ReadPixel(surface, x, y);
        p.a = 0;
        return p;
    };
    EXPECT_EQ(colour(3, 4), (Bgra{30, 20, 10, 0}));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool filled = x >= 5 && x < 8 && y >= 1 && y < 3;
            const bool setPixel = x == 3 && y == 4;
            if (setPixel) continue;
            EXPECT_EQ(colour(x, y), filled ? (Bgra{50, 100, 200, 0}) : (Bgra{0, 0, 0, 0})) << x << ", " << y;
        }
    }
}

TEST(SysBitmapGdi, TheDcFollowsTheStorageAcrossResizes) {
    SysBitmap surface(0, 0);
    ASSERT_NE(Dc(surface), nullptr);
    ASSERT_TRUE(surface.SetSize(30, 5));
    Clear(surface);
    SetPixel(Dc(surface), 29, 4, RGB(1, 2, 3));
    GdiFlush();
    EXPECT_EQ(ReadPixel(surface, 29, 4).r, 1);
    EXPECT_EQ(ReadPixel(surface, 29, 4).b, 3);

    ASSERT_TRUE(surface.SetSize(8, 2));  // kept: same section, stride 32
    EXPECT_EQ(surface.RowStride(), 32);
    SetPixel(Dc(surface), 1, 1, RGB(9, 8, 7));
    GdiFlush();
    EXPECT_EQ(surface.PixelPointer()[1 * 32 + 1].r, 9);
}

}  // namespace
