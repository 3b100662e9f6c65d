// One 32-bit pixel as the raster routines store it: bytes blue, green, red,
// alpha in memory, i.e. the little-endian word 0xAARRGGBB. Colour channels are
// straight (not multiplied by alpha); alpha 255 is opaque.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The raster word layout (0xAARRGGBB read from B,G,R,A bytes) assumes a little-endian target"
#endif

struct PackedPixel {
    std::uint8_t b;
    std::uint8_t g;
    std::uint8_t r;
    std::uint8_t a;
};
static_assert(sizeof(PackedPixel) == 4, "a pixel is exactly one 32-bit word");

// Word views go through memcpy so that storage written as bytes may be read as
// words (and back) without aliasing questions; compilers emit plain moves.
inline std::uint32_t PixelWord(PackedPixel p) {
    std::uint32_t w;
    std::memcpy(&w, &p, sizeof w);
    return w;
}

inline PackedPixel PixelFromWord(std::uint32_t w) {
    PackedPixel p;
    std::memcpy(&p, &w, sizeof p);
    return p;
}

inline std::uint32_t LoadPixelWord(const void* at) {
    std::uint32_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

inline void StorePixelWord(void* at, std::uint32_t w) { std::memcpy(at, &w, sizeof w); }
