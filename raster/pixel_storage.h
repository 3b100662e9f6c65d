// Sizing rules shared by the heap-backed bitmap kinds.
#pragma once

#include <cstdint>
#include <limits>

namespace raster {

// Rows are padded to a multiple of 4 pixels (16 bytes) ...
constexpr std::int32_t kRowAlignMask = 3;
// ... and the first pixel sits on a 64-byte boundary, so every block carries
// this much slack in front of the pixels.
constexpr std::int64_t kPixelBaseAlignment = 64;
constexpr std::int64_t kAlignmentSlack = kPixelBaseAlignment - 1;

// Capacities are int32 byte counts that are allocated with the slack on top;
// anything larger is treated like a failed allocation.
constexpr std::int64_t kMaxStorageBytes = std::numeric_limits<std::int32_t>::max() - kAlignmentSlack;

// Width rounded up to the row alignment, computed wide so that no int width
// can overflow it.
inline std::int64_t PaddedRowPixels(std::int64_t width) {
    return (width + kRowAlignMask) & ~std::int64_t{kRowAlignMask};
}

// Bytes of pixel storage for width x height, or -1 when that exceeds
// kMaxStorageBytes (or a dimension is not positive).
inline std::int64_t StorageBytes(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return -1;
    const std::int64_t rowBytes = PaddedRowPixels(width) * 4;
    if (rowBytes > kMaxStorageBytes / height) return -1;
    return rowBytes * height;
}

// First 64-byte boundary at or after a raw block address.
inline void* AlignPixelBase(void* raw) {
    const auto address = reinterpret_cast<std::uintptr_t>(raw);
    return reinterpret_cast<void*>((address + kAlignmentSlack) & ~static_cast<std::uintptr_t>(kAlignmentSlack));
}

}  // namespace raster
