// Any byte string handed to the memory loader must give either a bitmap of
// the header's size or null, without reading outside the bytes, leaking or
// touching memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "raster/png_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) return 0;
    const auto bitmap = LoadPngFromMemory(data, static_cast<int>(size));
    if (bitmap) {
        // Every pixel row must be real storage (ASan checks the reads).
        volatile std::uint32_t sink = 0;
        for (int y = 0; y < bitmap->Height(); ++y) {
            const PackedPixel* row = bitmap->PixelPointer() + static_cast<std::ptrdiff_t>(y) * bitmap->RowStride();
            sink = sink + PixelWord(row[0]) + PixelWord(row[bitmap->Width() - 1]);
        }
        if (bitmap->Width() <= 0 || bitmap->Height() <= 0 ||
            static_cast<std::uint64_t>(bitmap->Width()) * bitmap->Height() > kMaxPngPixels) {
            __builtin_trap();
        }
    }
    return 0;
}
