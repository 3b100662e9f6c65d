#include "raster/mem_bitmap.h"

#include <cstdlib>

#include "raster/pixel_storage.h"

static_assert(MemBitmap::RowAlignMask == raster::kRowAlignMask, "one row padding rule for every heap kind");

MemBitmap::MemBitmap(int width, int height) {
    const std::int64_t bytes = raster::StorageBytes(width, height);
    if (bytes < 0) return;
    mRaw = std::malloc(static_cast<std::size_t>(bytes + raster::kAlignmentSlack));
    if (!mRaw) return;
    mWidth = width;
    mHeight = height;
    mCapacity = static_cast<std::int32_t>(bytes);
}

MemBitmap::~MemBitmap() { std::free(mRaw); }

PackedPixel* MemBitmap::PixelPointer() const {
    return mRaw ? static_cast<PackedPixel*>(raster::AlignPixelBase(mRaw)) : nullptr;
}

void MemBitmap::Release() {
    std::free(mRaw);
    mRaw = nullptr;
    mCapacity = 0;
}

bool MemBitmap::SetSize(int width, int height) {
    if (width == mWidth && height == mHeight) return false;
    mWidth = width;
    mHeight = height;

    if (width > 0 && height > 0) {
        // A size whose storage cannot be expressed as an int32 capacity is a
        // failed allocation, not an overflowed one.
        const std::int64_t needed = raster::StorageBytes(width, height);
        if (needed < 0) {
            Release();
        } else if (!mRaw) {
            mRaw = std::malloc(static_cast<std::size_t>(needed + raster::kAlignmentSlack));
            mCapacity = mRaw ? static_cast<std::int32_t>(needed) : 0;
        } else if (mCapacity < needed) {
            std::int64_t grown = needed + needed / 4;
            if (grown > raster::kMaxStorageBytes) grown = needed;
            void* moved = std::realloc(mRaw, static_cast<std::size_t>(grown + raster::kAlignmentSlack));
            if (moved) {
                mRaw = moved;
                mCapacity = static_cast<std::int32_t>(grown);
            } else {
                std::free(mRaw);
                mRaw = std::malloc(static_cast<std::size_t>(needed + raster::kAlignmentSlack));
                mCapacity = mRaw ? static_cast<std::int32_t>(needed) : 0;
            }
        }
        // else: the block is large enough; storage never shrinks.
    } else {
        Release();
    }

    if (!mRaw) {
        mWidth = 0;
        mHeight = 0;
    }
    return true;
}
