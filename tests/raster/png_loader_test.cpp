#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "raster/png_loader.h"
#include "tests/raster/png_test_writer.h"
#include "tests/raster/test_bitmaps.h"

using rastertest::Bgra;
using rastertest::EncodePng;
using rastertest::FindChunk;
using rastertest::PngImage;
using rastertest::ReadPixel;
using rastertest::RgbaImage;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Decodes from an exactly sized heap copy, so any read past the given bytes
// is an AddressSanitizer error rather than a silent one.
std::unique_ptr<MemBitmap> Decode(const Bytes& png, std::size_t length) {
    const Bytes copy(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length));
    return LoadPngFromMemory(copy.data(), static_cast<int>(copy.size()));
}
std::unique_ptr<MemBitmap> Decode(const Bytes& png) { return Decode(png, png.size()); }

std::vector<Bgra> AllPixels(const IRasterBitmap& bitmap) {
    std::vector<Bgra> pixels;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) pixels.push_back(ReadPixel(bitmap, x, y));
    return pixels;
}

PngImage Image(int width, int height, int colorType, int bitDepth, std::vector<Bytes> rows) {
    PngImage image;
    image.width = width;
    image.height = height;
    image.colorType = colorType;
    image.bitDepth = bitDepth;
    image.rows = std::move(rows);
    return image;
}

// What each colour type and depth must become: B, G, R, A per pixel, colour
// straight, alpha 255 where the file has none, 16-bit samples cut to their
// high byte, low-depth grey scaled to 0..255 (x 255, 85 or 17).
struct DecodeCase {
    std::string name;
    PngImage image;
    std::vector<Bgra> expected;
};

std::vector<DecodeCase> DecodeCases() {
    std::vector<DecodeCase> cases;
    cases.push_back(
        {"rgba8", Image(2, 1, 6, 8, {{10, 20, 30, 40, 255, 0, 128, 1}}), {{30, 20, 10, 40}, {128, 0, 255, 1}}});
    cases.push_back({"rgba16_keeps_high_bytes",
                     Image(1, 1, 6, 16, {{0x12, 0x34, 0xAB, 0xCD, 0x00, 0xFF, 0xFF, 0x00}}),
                     {{0x00, 0xAB, 0x12, 0xFF}}});
    cases.push_back(
        {"rgb8_is_opaque", Image(2, 1, 2, 8, {{1, 2, 3, 250, 251, 252}}), {{3, 2, 1, 255}, {252, 251, 250, 255}}});
    cases.push_back({"rgb16", Image(1, 1, 2, 16, {{0x80, 0x01, 0x7F, 0xFF, 0x01, 0x02}}), {{0x01, 0x7F, 0x80, 255}}});

    PngImage paletteTrns = Image(3, 1, 3, 8, {{0, 1, 2}});
    paletteTrns.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    paletteTrns.paletteAlpha = {0, 128};  // entry 2 has no tRNS value: opaque
    cases.push_back({"palette8_trns", paletteTrns, {{0, 0, 255, 0}, {0, 255, 0, 128}, {255, 0, 0, 255}}});

    PngImage palette2 = Image(4, 1, 3, 2, {{0x1B}});  // indices 0 1 2 3
    palette2.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7};
    cases.push_back({"palette2", palette2, {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {7, 8, 9, 255}}});

    PngImage palette1 = Image(3, 1, 3, 1, {{0xA0}});  // indices 1 0 1
    palette1.palette = {10, 20, 30, 40, 50, 60};
    cases.push_back({"palette1", palette1, {{60, 50, 40, 255}, {30, 20, 10, 255}, {60, 50, 40, 255}}});

    const Bgra white{255, 255, 255, 255};
    const Bgra black{0, 0, 0, 255};
    cases.push_back(
        {"grey1", Image(9, 1, 0, 1, {{0xA5, 0x80}}), {white, black, white, black, black, white, black, white, white}});
    cases.push_back(
        {"grey2", Image(4, 1, 0, 2, {{0x1B}}), {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, white}});
    cases.push_back({"grey4", Image(2, 1, 0, 4, {{0x1F}}), {{17, 17, 17, 255}, white}});
    cases.push_back({"grey16", Image(1, 1, 0, 16, {{0xFE, 0x01}}), {{0xFE, 0xFE, 0xFE, 255}}});

    PngImage greyTrns = Image(3, 1, 0, 8, {{50, 51, 0}});
    greyTrns.hasTransparentColor = true;
    greyTrns.transparentGrey = 50;
    cases.push_back({"grey8_trns", greyTrns, {{50, 50, 50, 0}, {51, 51, 51, 255}, {0, 0, 0, 255}}});

    PngImage grey1Trns = Image(2, 1, 0, 1, {{0x80}});
    grey1Trns.hasTransparentColor = true;
    grey1Trns.transparentGrey = 1;
    cases.push_back({"grey1_trns", grey1Trns, {{255, 255, 255, 0}, black}});

    cases.push_back({"grey_alpha8", Image(2, 1, 4, 8, {{10, 40, 200, 255}}), {{10, 10, 10, 40}, {200, 200, 200, 255}}});
    cases.push_back({"grey_alpha16", Image(1, 1, 4, 16, {{0xAB, 0xCD, 0x12, 0x34}}), {{0xAB, 0xAB, 0xAB, 0x12}}});

    PngImage rgbTrns = Image(2, 1, 2, 8, {{1, 2, 3, 4, 5, 6}});
    rgbTrns.hasTransparentColor = true;
    rgbTrns.transparentRed = 4;
    rgbTrns.transparentGreen = 5;
    rgbTrns.transparentBlue = 6;
    cases.push_back({"rgb8_trns", rgbTrns, {{3, 2, 1, 255}, {6, 5, 4, 0}}});

    // Interlaced images are assembled by the decoder: a 9 x 7 image covers
    // all seven passes.
    PngImage interlaced = Image(9, 7, 6, 8, {});
    std::vector<Bgra> interlacedPixels;
    for (int y = 0; y < 7; ++y) {
        Bytes row;
        for (int x = 0; x < 9; ++x) {
            const int r = x * 20, g = y * 30, b = x + y, a = 255 - x * y;
            row.insert(row.end(), {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                   static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)});
            interlacedPixels.push_back({b, g, r, a});
        }
        interlaced.rows.push_back(row);
    }
    interlaced.interlaced = true;
    cases.push_back({"rgba8_interlaced", interlaced, interlacedPixels});

    PngImage grey1Interlaced = Image(9, 2, 0, 1, {{0xA5, 0x80}, {0x5A, 0x00}});
    grey1Interlaced.interlaced = true;
    cases.push_back({"grey1_interlaced",
                     grey1Interlaced,
                     {white, black, white, black, black, white, black, white, white,  //
                      black, white, black, white, white, black, white, black, black}});
    return cases;
}

class PngDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(PngDecode, GivesBlueGreenRedAlphaPixels) {
    const DecodeCase& c = GetParam();
    const Bytes png = EncodePng(c.image);
    ASSERT_FALSE(png.empty());
    const auto bitmap = Decode(png);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), c.image.width);
    EXPECT_EQ(bitmap->Height(), c.image.height);
    EXPECT_EQ(AllPixels(*bitmap), c.expected);
}

INSTANTIATE_TEST_SUITE_P(ColourTypes, PngDecode, ::testing::ValuesIn(DecodeCases()),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

// ---- bad input ------------------------------------------------------------

// A noisy 24 x 24 RGBA image: one IDAT chunk of a few kilobytes.
Bytes NoisyPng() {
    std::vector<std::uint8_t> rgba(24 * 24 * 4);
    std::uint32_t state = 12345;
    for (auto& byte : rgba) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return EncodePng(RgbaImage(24, 24, rgba));
}

void PutBigEndian32(Bytes& png, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) png[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Rewrites the IHDR size and its CRC, so only the size itself is hostile.
Bytes WithHeaderSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    const std::size_t ihdr = FindChunk(png, "IHDR");
    PutBigEndian32(png, ihdr + 8, width);
    PutBigEndian32(png, ihdr + 12, height);
    const uLong crc = crc32(0, png.data() + ihdr + 4, 4 + 13);
    PutBigEndian32(png, ihdr + 8 + 13, static_cast<std::uint32_t>(crc));
    return png;
}

TEST(PngMemoryLoader, RefusesShortOrForeignData) {
    const Bytes png = NoisyPng();
    EXPECT_EQ(LoadPngFromMemory(nullptr, 100), nullptr);
    EXPECT_EQ(LoadPngFromMemory(png.data(), 0), nullptr);
    EXPECT_EQ(LoadPngFromMemory(png.data(), -1), nullptr);
    EXPECT_EQ(Decode(png, 7), nullptr);
    EXPECT_EQ(Decode(png, 8), nullptr);  // signature only: the decoder reads zeros
    const Bytes notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Decode(notPng), nullptr);
    Bytes garbage(png.begin(), png.begin() + 8);
    garbage.insert(garbage.end(), 200, 0x5A);
    EXPECT_EQ(Decode(garbage), nullptr);
}

// Data cut anywhere before the end of the image data is a damaged stream;
// what follows the image data (IEND) is never read. A cut that removes only
// zero bytes changes nothing, since the reader supplies zeros past the end.
TEST(PngMemoryLoader, TruncatedDataGivesNullAtEveryCutPoint) {
    const Bytes png = NoisyPng();
    const auto whole = Decode(png);
    ASSERT_NE(whole, nullptr);
    const std::size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, std::string::npos);
    ASSERT_EQ(FindChunk(Bytes(png.begin() + idat + 4, png.end()), "IDAT"), std::string::npos);
    const std::size_t idatLength = (std::size_t{png[idat]} << 24) | (std::size_t{png[idat + 1]} << 16) |
                                   (std::size_t{png[idat + 2]} << 8) | png[idat + 3];
    const std::size_t idatEnd = idat + 12 + idatLength;

    for (std::size_t cut = 0; cut < png.size(); ++cut) {
        bool onlyZerosLost = true;
        for (std::size_t i = cut; i < idatEnd; ++i) onlyZerosLost = onlyZerosLost && png[i] == 0;
        const auto bitmap = Decode(png, cut);
        if (cut >= 8 && onlyZerosLost) {
            ASSERT_NE(bitmap, nullptr) << "cut at " << cut;
            EXPECT_EQ(AllPixels(*bitmap), AllPixels(*whole)) << "cut at " << cut;
        } else {
            ASSERT_EQ(bitmap, nullptr) << "cut at " << cut << " of " << png.size();
        }
    }
}

TEST(PngMemoryLoader, CorruptedChunksGiveNull) {
    const Bytes png = NoisyPng();
    const std::size_t ihdr = FindChunk(png, "IHDR");
    const std::size_t idat = FindChunk(png, "IDAT");
    const struct {
        const char* what;
        std::size_t at;
    } flips[] = {
        {"IHDR data (bad CRC)", ihdr + 10},
        {"IHDR CRC", ihdr + 8 + 13},
        {"IDAT length", idat + 3},
        {"IDAT type", idat + 5},
        {"first IDAT data byte", idat + 8},
        {"middle of the IDAT data", idat + 8 + 500},
        {"IDAT CRC", FindChunk(png, "IEND") - 2},
    };
    for (const auto& flip : flips) {
        Bytes damaged = png;
        damaged[flip.at] ^= 0x10;
        EXPECT_EQ(Decode(damaged), nullptr) << flip.what;
    }
}

// A chunk length of 2^31 - 1 in a short stream: libpng only warns about the
// size and would read 2 GiB of zero fill to the chunk's CRC; the reader
// refuses long before that.
TEST(PngMemoryLoader, HugeChunkLengthInShortDataFailsPromptly) {
    Bytes png = NoisyPng();
    const std::size_t idat = FindChunk(png, "IDAT");
    PutBigEndian32(png, idat, 0x7FFFFFFFu);
    EXPECT_EQ(Decode(png), nullptr);
    png.resize(idat + 40);
    EXPECT_EQ(Decode(png), nullptr);
}

// A chunk with its length and CRC, inserted before the image data.
Bytes WithChunkBeforeImageData(Bytes png, const char* type, const Bytes& data, std::uint32_t claimedLength) {
    Bytes chunk(8 + data.size() + 4);
    PutBigEndian32(chunk, 0, claimedLength);
    std::memcpy(chunk.data() + 4, type, 4);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    PutBigEndian32(chunk, 8 + data.size(), static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, 4 + data.size())));
    const std::size_t idat = FindChunk(png, "IDAT");
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(idat), chunk.begin(), chunk.end());
    return png;
}

// Only the chunks that make the picture are read; the others are skipped
// unread. libpng would read an sPLT, text or eXIf chunk whole into a buffer
// as long as the chunk claims (its size check only warns), so a 100-byte
// file could make it allocate 2 GB. The fuzzer's seeds hold such a file,
// and its allocation limit catches that.
TEST(PngMemoryLoader, OtherChunksAreSkippedUnread) {
    const Bytes png = NoisyPng();
    const auto plain = Decode(png);
    ASSERT_NE(plain, nullptr);
    const Bytes palette = {'v', 'o', 'x', 0, 8, 10, 20, 30, 40, 0, 1};
    const Bytes text(5000, 'a');
    for (const auto& [type, data] : {std::pair<const char*, Bytes>{"sPLT", palette}, {"tEXt", text}}) {
        const auto bitmap = Decode(WithChunkBeforeImageData(png, type, data, static_cast<std::uint32_t>(data.size())));
        ASSERT_NE(bitmap, nullptr) << type;
        EXPECT_EQ(AllPixels(*bitmap), AllPixels(*plain)) << type;
        // Claiming nearly 2 GB in a short stream: a damaged stream, refused.
        EXPECT_EQ(Decode(WithChunkBeforeImageData(png, type, data, 0x73737373u)), nullptr) << type;
    }
}

TEST(PngMemoryLoader, HostileHeaderSizesGiveNullWithoutHugeAllocations) {
    const Bytes png = NoisyPng();
    const struct {
        std::uint32_t width, height;
    } sizes[] = {
        {200000, 200000},                    // beyond the per-side limit
        {131073, 1},                         // just beyond it
        {100000, 100000},                    // each side allowed, the pixel count not
        {8193, 8192},                        // just beyond the pixel count
        {8192, 8192},                        // allowed: storage is made, then the data runs out
        {0, 24},                             // zero-length image
        {24, 0},          {0x80000000u, 1},  // beyond PNG's 31-bit range
    };
    for (const auto& s : sizes) {
        EXPECT_EQ(Decode(WithHeaderSize(png, s.width, s.height)), nullptr) << s.width << " x " << s.height;
    }
}

}  // namespace
