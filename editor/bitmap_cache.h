// The process-wide store of decoded pictures, keyed by resource id alone:
// every editor of every instance asking for an id gets the same bitmap.
// Entries are only ever added; they live until the library is unloaded.
//
// Threads: any. The lock is held only to search or extend the list, never
// while a picture is decoded.
#pragma once

#include <memory>

#include "raster/raster_bitmap.h"

namespace BitmapCache {

// The bitmap cached under id, or null.
IRasterBitmap* Find(int id);

// Stores bitmap under id and returns the stored one. When another thread
// stored the id first, that bitmap is kept and returned and this one is
// dropped, so there is never more than one bitmap per id.
IRasterBitmap* Insert(int id, std::unique_ptr<IRasterBitmap> bitmap);

// Bytes of decoded pixels held by the cache now (pictures that have not been
// drawn yet hold none).
long long DecodedBytes();

}  // namespace BitmapCache
