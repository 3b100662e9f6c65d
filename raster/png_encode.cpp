#include "raster/png_encode.h"

#include <png.h>

#include <cstdio>
#include <string>

namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// Kept apart from EncodePng so that the frame holding setjmp has no objects
// with destructors. rows holds height pointers to R, G, B, A rows.
bool Encode(int width, int height, png_bytep* rows, std::vector<std::uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToVector, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const IRasterBitmap& bitmap) {
    std::vector<std::uint8_t> out;
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    const PackedPixel* pixels = bitmap.PixelPointer();
    if (!pixels || width <= 0 || height <= 0) return out;

    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> rgba(rowBytes * static_cast<std::size_t>(height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int storageRow = bitmap.IsBottomUp() ? height - 1 - y : y;
        const PackedPixel* src = pixels + static_cast<std::ptrdiff_t>(storageRow) * bitmap.RowStride();
        std::uint8_t* dst = rgba.data() + rowBytes * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
            dst[4 * x + 0] = src[x].r;
            dst[4 * x + 1] = src[x].g;
            dst[4 * x + 2] = src[x].b;
            dst[4 * x + 3] = src[x].a;
        }
        rows[static_cast<std::size_t>(y)] = dst;
    }
    if (!Encode(width, height, rows.data(), &out)) out.clear();
    return out;
}

bool WritePngFile(const IRasterBitmap& bitmap, const char* path) {
    if (!path) return false;
    const std::vector<std::uint8_t> bytes = EncodePng(bitmap);
    if (bytes.empty()) return false;
    // Written beside the target and renamed over it only when complete, so a
    // failure never leaves a truncated picture where a good one was.
    const std::string temporary = std::string(path) + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed) {
        std::remove(path);  // rename does not replace an existing file everywhere
        if (std::rename(temporary.c_str(), path) == 0) return true;
    }
    std::remove(temporary.c_str());
    return false;
}
