// Blend mode of BlitBitmap: the low byte selects the operation, bit 16 asks
// for the source alpha to weight each pixel. Other bits are ignored.
#pragma once

#include <cstdint>

using BlendMode = std::uint32_t;

constexpr BlendMode BlendCopy = 0;
constexpr BlendMode BlendAdd = 1;
constexpr BlendMode BlendDodge = 2;
constexpr BlendMode UseSourceAlpha = 0x10000;

// The bits that take part in choosing the operation.
constexpr BlendMode kBlendModeMask = UseSourceAlpha | 0xFF;
