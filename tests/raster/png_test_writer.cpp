#include "tests/raster/png_test_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace rastertest {
namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// Kept apart from EncodePng so that the frame holding setjmp has no objects
// with destructors.
bool Encode(const PngImage& image, std::vector<std::uint8_t>* out, png_bytep* rowTable, png_colorp palette,
            int paletteSize) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToVector, NoFlush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (paletteSize > 0) png_set_PLTE(png, info, palette, paletteSize);
    if (!image.paletteAlpha.empty()) {
        png_set_tRNS(png, info, const_cast<png_bytep>(image.paletteAlpha.data()),
                     static_cast<int>(image.paletteAlpha.size()), nullptr);
    } else if (image.hasTransparentColor) {
        png_color_16 colour = {};
        colour.gray = image.transparentGrey;
        colour.red = image.transparentRed;
        colour.green = image.transparentGreen;
        colour.blue = image.transparentBlue;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    png_set_rows(png, info, rowTable);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngImage& image) {
    std::vector<std::vector<std::uint8_t>> rows = image.rows;
    std::vector<png_bytep> table;
    for (auto& row : rows) table.push_back(row.data());
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < image.palette.size(); i += 3) {
        palette.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    }
    std::vector<std::uint8_t> out;
    if (!Encode(image, &out, table.data(), palette.data(), static_cast<int>(palette.size()))) out.clear();
    return out;
}

PngImage RgbaImage(int width, int height, const std::vector<std::uint8_t>& rgba) {
    PngImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
        const auto* start = rgba.data() + static_cast<std::size_t>(y) * width * 4;
        image.rows.emplace_back(start, start + static_cast<std::size_t>(width) * 4);
    }
    return image;
}

std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type) {
    // Walks the chunk list: 4-byte big-endian length, 4-byte type, data, CRC.
    std::size_t at = 8;
    while (at + 8 <= png.size()) {
        const std::size_t length = (std::size_t{png[at]} << 24) | (std::size_t{png[at + 1]} << 16) |
                                   (std::size_t{png[at + 2]} << 8) | png[at + 3];
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        at += 12 + length;
    }
    return std::string::npos;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> SeedImages() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds;
    auto add = [&seeds](const std::string& name, const PngImage& image) { seeds.emplace_back(name, EncodePng(image)); };

    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 5 * 3; ++i) {
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i * 9),
                                 static_cast<std::uint8_t>(i * 5), static_cast<std::uint8_t>(i * 16)});
    }
    PngImage image = RgbaImage(5, 3, rgba);
    add("rgba8", image);
    image.interlaced = true;
    add("rgba8-interlaced", image);

    PngImage rgb16;
    rgb16.width = 2;
    rgb16.height = 2;
    rgb16.colorType = 2;
    rgb16.bitDepth = 16;
    rgb16.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {250, 0, 251, 1, 252, 2, 253, 3, 254, 4, 255, 5}};
    add("rgb16", rgb16);

    PngImage palette;
    palette.width = 4;
    palette.height = 2;
    palette.colorType = 3;
    palette.bitDepth = 2;
    palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    palette.paletteAlpha = {0, 128};
    palette.rows = {{0x1B}, {0xE4}};
    add("palette2-trns", palette);

    PngImage grey;
    grey.width = 9;
    grey.height = 2;
    grey.colorType = 0;
    grey.bitDepth = 1;
    grey.rows = {{0xA5, 0x80}, {0x0F, 0x00}};
    add("grey1", grey);

    PngImage greyAlpha;
    greyAlpha.width = 2;
    greyAlpha.height = 1;
    greyAlpha.colorType = 4;
    greyAlpha.bitDepth = 8;
    greyAlpha.rows = {{10, 20, 30, 40}};
    add("grey-alpha8", greyAlpha);
    return seeds;
}

}  // namespace rastertest
