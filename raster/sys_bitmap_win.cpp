// SysBitmap on Windows: a top-down 32-bit DIB section selected into a memory
// DC compatible with the screen.
#include <windows.h>

#include "raster/pixel_storage.h"
#include "raster/sys_bitmap.h"

SysBitmap::SysBitmap(int width, int height) {
    mMemoryDc = CreateCompatibleDC(nullptr);
    SetSize(width, height);
}

SysBitmap::~SysBitmap() {
    ReleaseStorage();
    if (mMemoryDc) DeleteDC(static_cast<HDC>(mMemoryDc));
}

void SysBitmap::ReleaseStorage() {
    // The DIB section cannot be deleted while it is selected into the DC.
    if (mPreviousBitmap && mMemoryDc) SelectObject(static_cast<HDC>(mMemoryDc), static_cast<HGDIOBJ>(mPreviousBitmap));
    mPreviousBitmap = nullptr;
    if (mStorage) DeleteObject(static_cast<HGDIOBJ>(mStorage));
    mStorage = nullptr;
    mBits = nullptr;
}

bool SysBitmap::CreateStorage() {
    // GDI would refuse such sizes too; checking first keeps the byte count of
    // the section within what every caller's int arithmetic can address.
    if (raster::StorageBytes(mAllocatedWidth, mAllocatedHeight) < 0) return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = mAllocatedWidth;
    // A negative height makes row 0 the top row, matching IsBottomUp().
    info.bmiHeader.biHeight = IsBottomUp() ? mAllocatedHeight : -mAllocatedHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(static_cast<HDC>(mMemoryDc), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section) DeleteObject(section);
        return false;
    }
    mStorage = section;
    mBits = static_cast<PackedPixel*>(bits);
    mPreviousBitmap = SelectObject(static_cast<HDC>(mMemoryDc), section);
    return true;
}
