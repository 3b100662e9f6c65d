// The one interface every raster routine reaches pixels through. Concrete
// kinds: MemBitmap (heap) and SysBitmap (drawing surface with a device context
// on Windows).
#pragma once

#include <cstdint>

#include "raster/packed_pixel.h"

// A GDI device-context handle (HDC) kept opaque so that no header outside the
// Windows implementation needs <windows.h>; null where there is no GDI.
using GdiDeviceContext = void*;

// Pixel (x, y) of a top-down bitmap lies at PixelPointer() + y * RowStride() + x.
// When IsBottomUp() answers true, image row y is storage row Height() - 1 - y.
// A bitmap is used by one thread at a time; nothing here locks.
//
// The order of the virtual operations is part of the contract: subclasses
// override them by position.
class IRasterBitmap {
public:
    virtual ~IRasterBitmap() = default;

    // First pixel of storage row 0, or null when the bitmap is empty or its
    // storage could not be allocated.
    virtual PackedPixel* PixelPointer() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Pixels (not bytes) from one storage row to the next; at least Width().
    virtual int RowStride() const = 0;
    virtual bool IsBottomUp() const { return false; }
    // True when the size was changed; each kind documents its storage rules.
    virtual bool SetSize(int width, int height) = 0;
    virtual GdiDeviceContext DeviceContext() const { return nullptr; }
    // Reserved extension hook; every kind of this library answers 0.
    virtual std::intptr_t ExtensionQuery(int code, void* data) {
        (void)code;
        (void)data;
        return 0;
    }

protected:
    IRasterBitmap() = default;
    IRasterBitmap(const IRasterBitmap&) = delete;
    IRasterBitmap& operator=(const IRasterBitmap&) = delete;
};
