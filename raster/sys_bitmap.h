// The editor's drawing surface. On Windows its pixels are a top-down 32-bit
// DIB section selected into a memory device context, so GDI and the raster
// routines draw on the same pixels and the editor can BitBlt it to a window.
// Elsewhere the same class keeps the same sizing rules over heap storage and
// has no device context.
//
// The platform split lives in sys_bitmap_win.cpp and sys_bitmap_heap.cpp; the
// build compiles exactly one of them.
#pragma once

#include <cstdint>

#include "raster/raster_bitmap.h"

class SysBitmap : public IRasterBitmap {
public:
    // Creates the memory DC (Windows), then sizes the bitmap; a non-positive
    // size leaves it without pixels until a later SetSize. Pixels of new
    // storage are not initialised.
    SysBitmap(int width, int height);
    ~SysBitmap() override;

    PackedPixel* PixelPointer() const override { return mBits; }
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    // The allocated width (a multiple of 4), which stays when the bitmap is
    // made smaller.
    int RowStride() const override { return mAllocatedWidth; }
    // Keeps the current storage whenever the new size fits into it; otherwise
    // replaces it with storage of exactly the new size (width rounded up to 4).
    // Without a device context (Windows) every size is refused. A dimension
    // of 0 leaves the bitmap without pixels (the size still reads back as
    // given); a negative one counts as 0.
    bool SetSize(int width, int height) override;
    // The memory DC on Windows (an HDC), null elsewhere.
    GdiDeviceContext DeviceContext() const override { return mMemoryDc; }

private:
    // Drops the current storage (Windows: deselects and deletes the DIB).
    void ReleaseStorage();
    // Creates storage of mAllocatedWidth x mAllocatedHeight; false on failure.
    bool CreateStorage();

    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    void* mMemoryDc = nullptr;  // HDC on Windows, null elsewhere
    PackedPixel* mBits = nullptr;
    std::int32_t mAllocatedWidth = 0;
    std::int32_t mAllocatedHeight = 0;
    void* mStorage = nullptr;         // the DIB section (HBITMAP), or the raw heap block
    void* mPreviousBitmap = nullptr;  // object the DIB section replaced in the DC (Windows)
};
