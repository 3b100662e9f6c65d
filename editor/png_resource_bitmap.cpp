#include "editor/png_resource_bitmap.h"

#include <cstring>

#include "raster/png_loader.h"

namespace {

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool ReadPngSize(const std::uint8_t* data, int size, int* width, int* height) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    // Signature, then the IHDR chunk: length 13, type, width, height.
    if (!data || size < 24 || std::memcmp(data, kSignature, 8) != 0) return false;
    if (BigEndian32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) return false;
    const std::uint32_t w = BigEndian32(data + 16);
    const std::uint32_t h = BigEndian32(data + 20);
    if (w == 0 || h == 0 || w > kMaxPngSide || h > kMaxPngSide || std::uint64_t{w} * std::uint64_t{h} > kMaxPngPixels) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

PngResourceBitmap::PngResourceBitmap(const std::uint8_t* data, int size) : mData(data), mSize(size) {
    if (!ReadPngSize(data, size, &mWidth, &mHeight)) mWidth = mHeight = 0;
}

void PngResourceBitmap::Decode() const {
    if (mWidth == 0) return;
    std::unique_ptr<MemBitmap> pixels = LoadPngFromMemory(mData, mSize);
    // A header that lies about the size would let a frame index read past
    // the pixels the strip really has.
    if (pixels && pixels->Width() == mWidth && pixels->Height() == mHeight && pixels->PixelPointer()) {
        mPixels = std::move(pixels);
    }
}

PackedPixel* PngResourceBitmap::PixelPointer() const {
    std::call_once(mDecodeOnce, [this] {
        Decode();
        mDecoded.store(true, std::memory_order_release);
    });
    return mPixels ? mPixels->PixelPointer() : nullptr;
}

bool PngResourceBitmap::IsDecoded() const { return mDecoded.load(std::memory_order_acquire); }

long long PngResourceBitmap::DecodedBytes() const {
    if (!IsDecoded() || !mPixels) return 0;
    return 4LL * mPixels->RowStride() * mPixels->Height();
}
