// A picture as the controls know it: the cached bitmap (never owned here)
// with the size it had when it was loaded and how many frames it holds.
#pragma once

#include <cstdint>

#include "raster/raster_bitmap.h"

struct IBitmapRef {
    IRasterBitmap* bitmap = nullptr;  // owned by the BitmapCache
    std::int32_t width = 0;           // the whole image
    std::int32_t height = 0;          // the whole image, all frames
    std::int32_t frames = 1;
    bool framesHorizontal = false;  // every strip here is vertical
    // Where it came from, so the same picture can be had at other scales:
    // the resource id (-1 for a bitmap made in code) and the file name.
    std::int32_t resourceId = -1;
    const char* fileName = nullptr;

    // The size of one frame (a strip of n frames is n frames high).
    std::int32_t FrameWidth() const { return framesHorizontal && frames > 0 ? width / frames : width; }
    std::int32_t FrameHeight() const { return !framesHorizontal && frames > 0 ? height / frames : height; }
};
