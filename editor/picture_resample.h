// Resizing a strip of pictures once, for an editor scale between the sizes
// it was drawn at (1.25x, 1.5x, 1.75x from the 2x drawing). Each frame is
// resized on its own into a cell of the new frame size, so frames never
// bleed into each other, with a windowed-sinc (Lanczos, three lobes) filter
// on premultiplied colour: sharp edges without the halos or dark fringes a
// straight-alpha filter gives.
#pragma once

#include <memory>

#include "raster/mem_bitmap.h"

// source holds frames frames stacked top to bottom. Resizes frame frame
// (0-based) of source to the size of out, into out. False (out untouched)
// when source has no pixels, frame is out of range or a size is not
// positive.
bool ResampleFrameInto(const IRasterBitmap& source, int frames, int frame, MemBitmap& out);
