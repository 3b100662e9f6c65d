#include "editor/x11/x11_image.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "editor/x11/x11_errors.h"

namespace {

bool PixmapFormatIs32Bit(Display* display, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool found = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) found = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return found;
}

// Where the lowest set bit of mask is, and how many bits it has.
void MaskShape(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (!mask) return;
    while (!(mask & 1UL)) {
        mask >>= 1;
        ++*shift;
    }
    while (mask & 1UL) {
        mask >>= 1;
        ++*bits;
    }
}

unsigned long Channel(std::uint8_t value, unsigned long mask) {
    int shift = 0;
    int bits = 0;
    MaskShape(mask, &shift, &bits);
    if (bits == 0) return 0;
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
    return (scaled << shift) & mask;
}

}  // namespace

X11Presenter::X11Presenter(Display* display, Visual* visual, int depth, int width, int height)
    : mDisplay(display), mVisual(visual), mDepth(depth) {
    mSameLayout = visual->c_class == TrueColor && (depth == 24 || depth == 32) && visual->red_mask == 0xff0000 &&
                  visual->green_mask == 0xff00 && visual->blue_mask == 0xff && PixmapFormatIs32Bit(display, depth);
    if (mSameLayout && XShmQueryExtension(display)) AttachSharedImage(width, height);
}

X11Presenter::~X11Presenter() { ReleaseSharedImage(); }

void X11Presenter::AttachSharedImage(int width, int height) {
    XImage* image = XShmCreateImage(mDisplay, mVisual, static_cast<unsigned>(mDepth), ZPixmap, nullptr, &mSegment,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return;
    mSegment.shmid =
        shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
    if (mSegment.shmid < 0) {
        XDestroyImage(image);
        return;
    }
    void* memory = shmat(mSegment.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(mSegment.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return;
    }
    mSegment.shmaddr = image->data = static_cast<char*>(memory);
    mSegment.readOnly = False;
    // A server on another machine (or in another IPC namespace) cannot
    // attach the segment: the attach fails with an error, and the plain path
    // takes over.
    XErrorScope scope(mDisplay);
    const bool attached = XShmAttach(mDisplay, &mSegment) && !scope.Failed();
    // Marked for removal now: it goes when both sides have detached, even if
    // the host dies first.
    shmctl(mSegment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(mSegment.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return;
    }
    mShared = image;
}

void X11Presenter::ReleaseSharedImage() {
    if (!mShared) return;
    XShmDetach(mDisplay, &mSegment);
    XSync(mDisplay, False);
    shmdt(mSegment.shmaddr);
    mShared->data = nullptr;
    XDestroyImage(mShared);
    mShared = nullptr;
}

void X11Presenter::Put(Drawable target, GC gc, const IRasterBitmap& surface, const IRectangle& rect) {
    const PackedPixel* pixels = surface.PixelPointer();
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (!pixels || w <= 0 || h <= 0) return;
    if (!mSameLayout) {
        PutConverted(target, gc, surface, rect);
        return;
    }
    if (mShared && rect.right <= mShared->width && rect.bottom <= mShared->height) {
        for (int y = rect.top; y < rect.bottom; ++y) {
            std::memcpy(mShared->data + static_cast<std::ptrdiff_t>(y) * mShared->bytes_per_line + rect.left * 4,
                        pixels + static_cast<std::ptrdiff_t>(y) * surface.RowStride() + rect.left,
                        static_cast<std::size_t>(w) * 4);
        }
        XShmPutImage(mDisplay, target, gc, mShared, rect.left, rect.top, rect.left, rect.top, static_cast<unsigned>(w),
                     static_cast<unsigned>(h), False);
        // The next frame writes into the same memory: the server must have
        // read this one first.
        XSync(mDisplay, False);
        return;
    }
    // The surface's own rows, described to Xlib without a copy; Xlib swaps
    // the bytes for a server of the other byte order.
    XImage image{};
    image.width = surface.RowStride();
    image.height = surface.Height();
    image.xoffset = 0;
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(const_cast<PackedPixel*>(pixels));
    image.byte_order = LSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = LSBFirst;
    image.bitmap_pad = 32;
    image.depth = mDepth;
    image.bytes_per_line = surface.RowStride() * 4;
    image.bits_per_pixel = 32;
    image.red_mask = 0xff0000;
    image.green_mask = 0xff00;
    image.blue_mask = 0xff;
    if (!XInitImage(&image)) return;
    XPutImage(mDisplay, target, gc, &image, rect.left, rect.top, rect.left, rect.top, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XFlush(mDisplay);
}

void X11Presenter::PutConverted(Drawable target, GC gc, const IRasterBitmap& surface, const IRectangle& rect) {
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    XImage* image = XCreateImage(mDisplay, mVisual, static_cast<unsigned>(mDepth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (!image) return;
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * h));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    const PackedPixel* pixels = surface.PixelPointer();
    for (int y = 0; y < h; ++y) {
        const PackedPixel* row = pixels + static_cast<std::ptrdiff_t>(rect.top + y) * surface.RowStride() + rect.left;
        for (int x = 0; x < w; ++x) {
            const PackedPixel p = row[x];
            XPutPixel(
                image, x, y,
                Channel(p.r, mVisual->red_mask) | Channel(p.g, mVisual->green_mask) | Channel(p.b, mVisual->blue_mask));
        }
    }
    XPutImage(mDisplay, target, gc, image, 0, 0, rect.left, rect.top, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XFlush(mDisplay);
    XDestroyImage(image);  // frees the pixels too
}
