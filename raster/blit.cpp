#include "raster/blit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/blend_rules.h"

namespace {

using raster::kFullWeight;

// The clipped work of one call: `width` pixels of `height` rows, each side
// stepped by its own signed byte distance (negative for bottom-up storage).
struct RowWalk {
    std::uint8_t* dest;
    std::ptrdiff_t destStep;
    const std::uint8_t* source;
    std::ptrdiff_t sourceStep;
    int width;
    int height;
};

template <typename RowOp>
void ForEachRow(const RowWalk& walk, const RowOp& op) {
    std::uint8_t* d = walk.dest;
    const std::uint8_t* s = walk.source;
    for (int y = 0; y < walk.height; ++y, d += walk.destStep, s += walk.sourceStep) op(d, s, walk.width);
}

// Runs a per-pixel rule over every pixel; the rule sees 4-byte B,G,R,A groups.
template <typename PixelOp>
void ForEachPixel(const RowWalk& walk, const PixelOp& op) {
    ForEachRow(walk, [&op](std::uint8_t* d, const std::uint8_t* s, int n) {
        for (int x = 0; x < n; ++x, d += 4, s += 4) op(d, s);
    });
}

// Whole rows verbatim. memmove because a bitmap may be blitted onto itself.
void CopyRows(const RowWalk& walk) {
    const std::size_t bytes = static_cast<std::size_t>(walk.width) * 4;
    ForEachRow(walk, [bytes](std::uint8_t* d, const std::uint8_t* s, int) { std::memmove(d, s, bytes); });
}

// Half of each: every channel halved with truncation and summed, done on
// whole words (the masks stop each channel's low bit leaking into its
// neighbour).
void AverageRows(const RowWalk& walk) {
    ForEachPixel(walk, [](std::uint8_t* d, const std::uint8_t* s) {
        const std::uint32_t dw = LoadPixelWord(d);
        const std::uint32_t sw = LoadPixelWord(s);
        StorePixelWord(d, ((dw >> 1) & 0x7F7F7F7Fu) + ((sw >> 1) & 0x7F7F7F7Fu));
    });
}

void MixRows(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        for (int c = 0; c < 4; ++c) d[c] = raster::MixChannel(d[c], s[c], w);
    });
}

void AddRows(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        for (int c = 0; c < 4; ++c) d[c] = raster::AddChannel(d[c], s[c], w);
    });
}

void DodgeRows(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        for (int c = 0; c < 4; ++c) d[c] = raster::DodgeChannel(d[c], s[c], w);
    });
}

// The editor's common case: knob strips and overlays are mostly fully
// transparent or fully opaque, so those two alphas take no arithmetic.
void OverRowsFullWeight(const RowWalk& walk) {
    ForEachPixel(walk, [](std::uint8_t* d, const std::uint8_t* s) {
        const std::uint32_t sw = LoadPixelWord(s);
        const int a = static_cast<int>(sw >> 24);
        if (a == 0) return;
        if (a == 255) {
            StorePixelWord(d, sw);  // colour of the source, alpha 255
            return;
        }
        d[0] = raster::OverChannel(d[0], s[0], a);
        d[1] = raster::OverChannel(d[1], s[1], a);
        d[2] = raster::OverChannel(d[2], s[2], a);
        d[3] = static_cast<std::uint8_t>(std::min(d[3] + a, 255));
    });
}

// Partial weight: both colour and alpha use P = W(a + 1)/256, so the alpha
// grows by P rather than by a.
void OverRowsWeighted(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        const int a = s[3];
        if (a == 0) return;
        const int p = raster::SourceAlphaWeight(w, a);
        for (int c = 0; c < 3; ++c) d[c] = raster::MixChannel(d[c], s[c], p);
        d[3] = raster::Clamp255(d[3] + p);
    });
}

void AddRowsSourceAlpha(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        const int a = s[3];
        if (a == 0) return;
        const int p = raster::SourceAlphaWeight(w, a);
        for (int c = 0; c < 4; ++c) d[c] = raster::AddChannel(d[c], s[c], p);
    });
}

// No early-out here: a fully transparent source still dodges by P = W/256.
void DodgeRowsSourceAlpha(const RowWalk& walk, int w) {
    ForEachPixel(walk, [w](std::uint8_t* d, const std::uint8_t* s) {
        const int a = s[3];
        const int p = raster::SourceAlphaWeight(w, a);
        for (int c = 0; c < 4; ++c) d[c] = raster::DodgeChannel(d[c], s[c], p);
    });
}

// Address of image row `row`, column `column`, honouring bottom-up storage.
// Fills `step` with the signed byte distance to the next image row.
std::uint8_t* ImageRowStart(const IRasterBitmap& bitmap, std::int64_t row, std::int64_t column, std::ptrdiff_t* step) {
    const std::ptrdiff_t strideBytes = static_cast<std::ptrdiff_t>(bitmap.RowStride()) * 4;
    auto* base = reinterpret_cast<std::uint8_t*>(bitmap.PixelPointer());
    if (bitmap.IsBottomUp()) {
        base += static_cast<std::ptrdiff_t>(bitmap.Height() - 1) * strideBytes;
        *step = -strideBytes;
    } else {
        *step = strideBytes;
    }
    return base + static_cast<std::ptrdiff_t>(row) * *step + static_cast<std::ptrdiff_t>(column) * 4;
}

// Storage that could not hold its own rows (a stride below the width) is
// treated like missing pixels rather than walked out of bounds.
bool HasUsablePixels(const IRasterBitmap& bitmap) {
    return bitmap.PixelPointer() != nullptr && bitmap.RowStride() >= bitmap.Width();
}

bool IsKnownMode(BlendMode m) {
    switch (m) {
        case BlendCopy:
        case BlendAdd:
        case BlendDodge:
        case UseSourceAlpha | BlendCopy:
        case UseSourceAlpha | BlendAdd:
        case UseSourceAlpha | BlendDodge:
            return true;
        default:
            return false;
    }
}

}  // namespace

void BlitBitmap(IRasterBitmap* destination, IRasterBitmap* source, int destX, int destY, const IRectangle* sourceRect,
                float weight, BlendMode mode) {
    if (!destination || !source || weight == 0.0f) return;
    const BlendMode m = mode & kBlendModeMask;
    if (!IsKnownMode(m)) return;

    // Clipping runs in 64 bits: a hostile rectangle (left = INT_MIN, say)
    // must not overflow while it is pushed into range.
    const std::int64_t sourceWidth = source->Width();
    const std::int64_t sourceHeight = source->Height();
    std::int64_t dx = destX;
    std::int64_t dy = destY;
    std::int64_t sx = 0;
    std::int64_t sy = 0;
    std::int64_t right = sourceWidth;
    std::int64_t bottom = sourceHeight;
    if (sourceRect) {
        right = std::min<std::int64_t>(sourceRect->right, sourceWidth);
        bottom = std::min<std::int64_t>(sourceRect->bottom, sourceHeight);
        if (sourceRect->left < 0) {
            dx -= sourceRect->left;
        } else {
            sx = sourceRect->left;
        }
        if (sourceRect->top < 0) {
            dy -= sourceRect->top;
        } else {
            sy = sourceRect->top;
        }
    }
    if (dx < 0) sx -= dx;
    if (dy < 0) sy -= dy;
    const std::int64_t startX = std::max<std::int64_t>(dx, 0);
    const std::int64_t startY = std::max<std::int64_t>(dy, 0);
    const std::int64_t destWidth = destination->Width();
    const std::int64_t destHeight = destination->Height();
    if (sx >= right || sy >= bottom || startX >= destWidth || startY >= destHeight) return;
    right = std::min(sx + destWidth - startX, right);
    bottom = std::min(sy + destHeight - startY, bottom);
    if (sx >= right || sy >= bottom) return;

    if (!HasUsablePixels(*destination) || !HasUsablePixels(*source)) return;

    RowWalk walk;
    walk.dest = ImageRowStart(*destination, startY, startX, &walk.destStep);
    walk.source = ImageRowStart(*source, sy, sx, &walk.sourceStep);
    walk.width = static_cast<int>(right - sx);
    walk.height = static_cast<int>(bottom - sy);

    if (m == BlendCopy && weight == 1.0f) return CopyRows(walk);
    if (m == BlendCopy && weight == 0.5f) return AverageRows(walk);

    const int w = raster::WeightToFixed(weight);
    if (w == 0) return;
    switch (m) {
        case BlendCopy:
            if (w < 0) return;
            return w == kFullWeight ? CopyRows(walk) : MixRows(walk, w);
        case BlendAdd:
            return AddRows(walk, w);
        case BlendDodge:
            return DodgeRows(walk, w);
        case UseSourceAlpha | BlendCopy:
            return w == kFullWeight ? OverRowsFullWeight(walk) : OverRowsWeighted(walk, w);
        case UseSourceAlpha | BlendAdd:
            return AddRowsSourceAlpha(walk, w);
        case UseSourceAlpha | BlendDodge:
            return DodgeRowsSourceAlpha(walk, w);
        default:
            return;
    }
}
