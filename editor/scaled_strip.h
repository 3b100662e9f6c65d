// A strip of pictures at a scale it was not drawn at: every frame resized
// from the drawing once, the first time that frame is drawn, and kept (a
// knob's 240 frames cost nothing until they are turned to). The strips of
// every editor share one store, keyed by picture id and scale, as the
// decoded pictures share BitmapCache.
//
// Threads: any; a strip's lock is held while one of its frames is resized.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "raster/mem_bitmap.h"

class ScaledStrip {
public:
    // source (not owned; it must outlive the strip: a cached picture) holds
    // frames frames stacked top to bottom; every frame of the strip is
    // frameWidth x frameHeight.
    ScaledStrip(IRasterBitmap* source, int frames, int frameWidth, int frameHeight);

    // Frame frame (0-based), resized on first use; null when the source has
    // no pixels or frame is out of range.
    IRasterBitmap* Frame(int frame);
    int FrameWidth() const { return mFrameWidth; }
    int FrameHeight() const { return mFrameHeight; }
    // Bytes of resized pixels held.
    long long Bytes();

private:
    IRasterBitmap* mSource;
    int mFrames;
    int mFrameWidth;
    int mFrameHeight;
    std::mutex mMutex;
    std::vector<std::unique_ptr<MemBitmap>> mDone;  // per frame, null until resized
};

namespace ScaledStrips {

// The strip stored under (id, quarters), made by make() the first time any
// editor asks; null when make gives none.
ScaledStrip* Get(int id, int quarters, std::unique_ptr<ScaledStrip> (*make)(void*), void* context);
// Bytes of resized frames held by every stored strip.
long long Bytes();

}  // namespace ScaledStrips
