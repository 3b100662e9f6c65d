#include "tests/raster/test_bitmaps.h"

namespace rastertest {

PackedPixel& PixelAt(const IRasterBitmap& bitmap, int x, int y) {
    const int storageRow = bitmap.IsBottomUp() ? bitmap.Height() - 1 - y : y;
    return bitmap.PixelPointer()[static_cast<std::ptrdiff_t>(storageRow) * bitmap.RowStride() + x];
}

Bgra ReadPixel(const IRasterBitmap& bitmap, int x, int y) {
    const PackedPixel p = PixelAt(bitmap, x, y);
    return Bgra{p.b, p.g, p.r, p.a};
}

void WritePixel(IRasterBitmap& bitmap, int x, int y, Bgra v) {
    PixelAt(bitmap, x, y) = PackedPixel{static_cast<std::uint8_t>(v.b), static_cast<std::uint8_t>(v.g),
                                        static_cast<std::uint8_t>(v.r), static_cast<std::uint8_t>(v.a)};
}

void FillBitmap(IRasterBitmap& bitmap, Bgra value) {
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) WritePixel(bitmap, x, y, value);
}

}  // namespace rastertest
