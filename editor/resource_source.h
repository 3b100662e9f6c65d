// Where an editor's pictures come from when they are not module resources
// of a Windows library: a table of PNG file images compiled into the
// plug-in, keyed by the same integer ids.
#pragma once

#include <cstdint>
#include <memory>

#include "raster/raster_bitmap.h"

struct IResourceBytes {
    const std::uint8_t* data = nullptr;
    int size = 0;
};

// Finds the bytes stored under id; false when there are none. The bytes
// live as long as the library.
using ResourceFinder = bool (*)(int id, IResourceBytes* out);

// Turns stored bytes into a picture that decodes when it is first drawn,
// with the checks every resource loader applies: the name must end in "png"
// and there must be at least 8 bytes. Null otherwise.
std::unique_ptr<IRasterBitmap> NewPictureFromResource(ResourceFinder finder, int id, const char* fileName);
