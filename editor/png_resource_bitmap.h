// A picture kept as its PNG bytes and decoded the first time its pixels are
// asked for. Its size is read from the PNG header at once, so the editor can
// lay out and hit-test with it; creating an instance (which hosts do when
// they scan plug-ins) decodes nothing, and pictures that are never drawn
// (controls placed outside the editor) are never decoded.
//
// Threads: any. The first PixelPointer() call decodes under a once-flag;
// every later call only reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "raster/mem_bitmap.h"
#include "raster/raster_bitmap.h"

class PngResourceBitmap : public IRasterBitmap {
public:
    // data must outlive the bitmap (resource memory of the library). Bytes
    // that do not start with a PNG signature and header give a 0 x 0 bitmap.
    PngResourceBitmap(const std::uint8_t* data, int size);

    // Null when the data does not decode (or decodes to another size than its
    // header said): the picture then draws nothing.
    PackedPixel* PixelPointer() const override;
    int Width() const override { return mWidth; }
    int Height() const override { return mHeight; }
    int RowStride() const override { return (mWidth + MemBitmap::RowAlignMask) & ~MemBitmap::RowAlignMask; }
    // The picture is shared by every editor: it never changes size.
    bool SetSize(int, int) override { return false; }

    bool IsDecoded() const;
    long long DecodedBytes() const;

private:
    void Decode() const;

    const std::uint8_t* mData;
    int mSize;
    int mWidth = 0;
    int mHeight = 0;
    mutable std::once_flag mDecodeOnce;
    mutable std::unique_ptr<MemBitmap> mPixels;
    mutable std::atomic<bool> mDecoded{false};
};

// Width and height from a PNG file image's signature and IHDR chunk; false
// when the bytes are not a PNG or the size is 0 or beyond what the decoder
// accepts.
bool ReadPngSize(const std::uint8_t* data, int size, int* width, int* height);
