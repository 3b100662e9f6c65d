// Same-scale compositing of one bitmap onto another.
#pragma once

#include "raster/blend_mode.h"
#include "raster/raster_bitmap.h"
#include "raster/rectangle.h"

// Draws sourceRect of source (the whole source when null) with its top-left
// corner at (destX, destY) of destination, combined by mode and weight
// (1.0 = full strength). The rectangle is clipped to both bitmaps; a part left
// of or above the destination is skipped. Missing bitmaps or pixels, weight 0,
// empty or fully clipped rectangles and modes without an operation draw
// nothing. Rows of bottom-up bitmaps are walked so that row y is always the
// y-th row from the top.
//
// The caller owns both bitmaps for the call; nothing is kept. A bitmap blitted
// onto itself with overlapping areas gives an order-dependent (but defined)
// result.
void BlitBitmap(IRasterBitmap* destination, IRasterBitmap* source, int destX, int destY, const IRectangle* sourceRect,
                float weight, BlendMode mode);
