// The decoding core shared by the memory and file loaders.
#pragma once

#include <cstdio>

#include "raster/png_loader.h"

namespace raster {

// Reads a PNG stream from `memory` (when not null) or else from `file`, and
// decodes it into `destination` (resized) or into a new MemBitmap. Returns
// the bitmap written, or null; a bitmap created here is deleted on failure.
IRasterBitmap* DecodePng(MemoryReadState* memory, std::FILE* file, IRasterBitmap* destination);

}  // namespace raster
