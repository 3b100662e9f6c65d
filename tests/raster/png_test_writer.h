// Writes PNG files into memory with libpng's encoder, so the decoder can be
// tested on every colour type and depth without checked-in binaries. Also
// used by the fuzz seed generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rastertest {

struct PngImage {
    int width = 0;
    int height = 0;
    int colorType = 6;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    // Raw rows exactly as stored in the file (packed bits, big-endian 16-bit
    // samples), one vector per row.
    std::vector<std::vector<std::uint8_t>> rows;
    // Palette as R, G, B triples (colour type 3).
    std::vector<std::uint8_t> palette;
    // tRNS: alpha per palette entry (type 3) ...
    std::vector<std::uint8_t> paletteAlpha;
    // ... or the one transparent grey / RGB value (types 0 and 2).
    bool hasTransparentColor = false;
    std::uint16_t transparentGrey = 0;
    std::uint16_t transparentRed = 0, transparentGreen = 0, transparentBlue = 0;
};

// The encoded file; empty if libpng refused the image.
std::vector<std::uint8_t> EncodePng(const PngImage& image);

// An 8-bit RGBA image from R, G, B, A bytes per pixel.
PngImage RgbaImage(int width, int height, const std::vector<std::uint8_t>& rgba);

// Offset of the first chunk with the given four-letter type, or npos.
std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type);

// A set of small valid images of every colour type and depth (name, bytes),
// for round-trip tests and as fuzz seeds.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> SeedImages();

}  // namespace rastertest
