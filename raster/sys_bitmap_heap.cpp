// SysBitmap where there is no GDI: heap storage with the DIB section's sizing
// rules and no device context.
#include <cstdlib>

#include "raster/pixel_storage.h"
#include "raster/sys_bitmap.h"

SysBitmap::SysBitmap(int width, int height) { SetSize(width, height); }

SysBitmap::~SysBitmap() { ReleaseStorage(); }

void SysBitmap::ReleaseStorage() {
    std::free(mStorage);
    mStorage = nullptr;
    mBits = nullptr;
}

bool SysBitmap::CreateStorage() {
    const std::int64_t bytes = raster::StorageBytes(mAllocatedWidth, mAllocatedHeight);
    if (bytes < 0) return false;
    mStorage = std::malloc(static_cast<std::size_t>(bytes + raster::kAlignmentSlack));
    if (!mStorage) return false;
    mBits = static_cast<PackedPixel*>(raster::AlignPixelBase(mStorage));
    return true;
}
