// A bitmap whose pixels live in ordinary heap memory: every decoded image and
// the editor's scratch surface.
#pragma once

#include <cstdint>

#include "raster/raster_bitmap.h"

class MemBitmap : public IRasterBitmap {
public:
    // Always 3: rows are padded to a multiple of 4 pixels.
    static constexpr std::int32_t RowAlignMask = 3;

    // An empty bitmap (0 x 0, no storage).
    MemBitmap() = default;
    // Allocates storage for width x height when both are positive; the pixels
    // are not initialised. A failed allocation leaves an empty bitmap, so
    // callers compare Width()/Height() with what they asked for.
    MemBitmap(int width, int height);
    ~MemBitmap() override;

    // 64-byte aligned start of the pixels, null without storage.
    PackedPixel* PixelPointer() const override;
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    int RowStride() const override { return (mWidth + RowAlignMask) & ~RowAlignMask; }
    // Storage only grows: a smaller size keeps the block, a larger one grows it
    // with 25 % headroom. A size with a non-positive dimension frees the
    // storage. Pixel contents are undefined afterwards. False only when the
    // size is already the one asked for.
    bool SetSize(int width, int height) override;

    // Bytes of pixel storage the block holds (without the alignment slack).
    std::int32_t Capacity() const { return mCapacity; }

private:
    void Release();

    void* mRaw = nullptr;  // block as the allocator returned it (not aligned)
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    std::int32_t mCapacity = 0;
};
