// Bitmap helpers for the raster tests: pixel access by image coordinates and
// a bitmap kind stored bottom-up, which no production kind is.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "raster/raster_bitmap.h"

namespace rastertest {

struct Bgra {
    int b, g, r, a;
    bool operator==(const Bgra& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};

// Image pixel (x, y), counting y from the top whatever the storage order.
PackedPixel& PixelAt(const IRasterBitmap& bitmap, int x, int y);
Bgra ReadPixel(const IRasterBitmap& bitmap, int x, int y);
void WritePixel(IRasterBitmap& bitmap, int x, int y, Bgra value);
void FillBitmap(IRasterBitmap& bitmap, Bgra value);

// Heap bitmap whose storage row 0 is the image's bottom row. The stride has
// two pixels of slack so that stride-versus-width mistakes show.
class BottomUpBitmap : public IRasterBitmap {
public:
    BottomUpBitmap(int width, int height) { SetSize(width, height); }
    PackedPixel* PixelPointer() const override {
        return mPixels.empty() ? nullptr : const_cast<PackedPixel*>(mPixels.data());
    }
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    int RowStride() const override { return mWidth + 2; }
    bool IsBottomUp() const override { return true; }
    bool SetSize(int width, int height) override {
        if (width == mWidth && height == mHeight) return false;
        mWidth = width;
        mHeight = height;
        mPixels.assign(static_cast<std::size_t>(width + 2) * height, PackedPixel{0, 0, 0, 0});
        return true;
    }

private:
    int mWidth = 0;
    int mHeight = 0;
    std::vector<PackedPixel> mPixels;
};

inline std::ostream& operator<<(std::ostream& os, const Bgra& p) {
    return os << "(b " << p.b << ", g " << p.g << ", r " << p.r << ", a " << p.a << ")";
}

}  // namespace rastertest
