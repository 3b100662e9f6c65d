// Copies rectangles of the editor's surface (32-bit B, G, R, A pixels) to
// its window. Where the server offers MIT-SHM and the window's visual takes
// those pixels as they are (24-bit TrueColor, red in 0xff0000), the rows go
// through a shared-memory image; on a remote display, a plain XPutImage
// straight from the surface; any other visual gets each pixel converted.
//
// Threads: the editor's window thread only (the host's GUI thread).
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <vector>

#include "raster/raster_bitmap.h"
#include "raster/rectangle.h"

class X11Presenter {
public:
    // width x height is the largest area Put is ever asked for.
    X11Presenter(Display* display, Visual* visual, int depth, int width, int height);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // rect must lie inside both the surface and the window.
    void Put(Drawable target, GC gc, const IRasterBitmap& surface, const IRectangle& rect);
    bool UsesSharedMemory() const { return mShared != nullptr; }

private:
    void AttachSharedImage(int width, int height);
    void ReleaseSharedImage();
    void PutConverted(Drawable target, GC gc, const IRasterBitmap& surface, const IRectangle& rect);

    Display* mDisplay;
    Visual* mVisual;
    int mDepth;
    bool mSameLayout = false;  // the visual takes B, G, R, X bytes as they are
    XImage* mShared = nullptr;
    XShmSegmentInfo mSegment{};
};
