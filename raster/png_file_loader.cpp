#include <cstdio>

#include "base/utf8_path.h"
#include "raster/png_decode.h"
#include "raster/png_loader.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

IRasterBitmap* LoadPngFromFile(const char* path, IRasterBitmap* destination) {
    if (!path) return nullptr;
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file) return nullptr;
    IRasterBitmap* bitmap = raster::DecodePng(nullptr, file, destination);
    std::fclose(file);
    return bitmap;
}

bool HasPngExtension(const char* path) {
    if (!path) return false;
    const char* end = path;
    while (*end) ++end;
    for (const char* p = end; p != path;) {
        --p;
        if (*p == '\\') return false;
        if (*p == '.' || *p == '/') {
            static const char kExtension[] = ".png";
            if (end - p != 4) return false;
            for (int i = 0; i < 4; ++i) {
                if (LowerAscii(p[i]) != kExtension[i]) return false;
            }
            return true;
        }
    }
    return false;
}

IRasterBitmap* LoadImageByExtension(const char* path, bool checkExtension, IRasterBitmap* destination) {
    if (checkExtension && !HasPngExtension(path)) return nullptr;
    return LoadPngFromFile(path, destination);
}

const char* PngFileFilter() {
    // Description, pattern, and an empty description ending the list.
    return "PNG files (*.PNG)\0*.PNG\0";
}
