// PNG encoding of a 32-bit bitmap: 8-bit RGBA, non-interlaced, no ancillary
// chunks and no time stamp, so the same pixels always give the same bytes.
// Used by the tools that write pictures (artwork, editor snapshots).
#pragma once

#include <cstdint>
#include <vector>

#include "raster/raster_bitmap.h"

// The encoded file, empty when the bitmap has no pixels or libpng fails.
std::vector<std::uint8_t> EncodePng(const IRasterBitmap& bitmap);

// Writes EncodePng's bytes to path (UTF-8); false on any failure, in which
// case nothing usable is left at path.
bool WritePngFile(const IRasterBitmap& bitmap, const char* path);
