// Sizing rules of SysBitmap, the same on every platform; storage itself is
// created and released by the platform file.
#include "raster/pixel_storage.h"
#include "raster/sys_bitmap.h"

bool SysBitmap::SetSize(int width, int height) {
#ifdef _WIN32
    // Without its DC the bitmap cannot hold a DIB section at all.
    if (!mMemoryDc) {
        mWidth = mHeight = 0;
        mBits = nullptr;
        return false;
    }
#endif
    // Negative sizes mean the same as 0: no pixels. Keeping them would let a
    // negative width pass the "fits" test below and report pixels for it.
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width == mWidth && height == mHeight) return false;

    mWidth = width;
    mHeight = height;
    if (width > 0 && height > 0 && mAllocatedWidth >= width && mAllocatedHeight >= height && mBits) return true;

    mAllocatedWidth = static_cast<std::int32_t>(raster::PaddedRowPixels(width));
    mAllocatedHeight = height;
    ReleaseStorage();
    if (mAllocatedWidth < 1 || mAllocatedHeight < 1) return false;

    if (!CreateStorage()) {
        mWidth = mHeight = 0;
        mAllocatedWidth = mAllocatedHeight = 0;
        mBits = nullptr;
    }
    return true;
}
