#include <cstring>

#include "raster/png_decode.h"
#include "raster/png_loader.h"

namespace {
constexpr unsigned char kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
}

std::unique_ptr<MemBitmap> LoadPngFromMemory(const void* data, int length) {
    // Short or foreign data is refused here, before libpng and its error
    // path are involved at all.
    if (!data || length <= 7 || std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0) return nullptr;
    MemoryReadState state{static_cast<const std::uint8_t*>(data), length, 0};
    // Without a destination the decoder always creates a MemBitmap.
    return std::unique_ptr<MemBitmap>(static_cast<MemBitmap*>(raster::DecodePng(&state, nullptr, nullptr)));
}
