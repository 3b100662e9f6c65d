#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "raster/image_loader_list.h"
#include "raster/mem_bitmap.h"
#include "raster/png_loader.h"
#include "raster/sys_bitmap.h"
#include "tests/raster/png_test_writer.h"
#include "tests/raster/test_bitmaps.h"

using rastertest::Bgra;
using rastertest::BottomUpBitmap;
using rastertest::ReadPixel;

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 3 x 2 RGBA image; pixel (x, y) is red 10x+1, green 20y+2, blue 7, alpha 100+x+y.
Bytes SamplePng() {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(10 * x + 1), static_cast<std::uint8_t>(20 * y + 2), 7,
                                     static_cast<std::uint8_t>(100 + x + y)});
    return rastertest::EncodePng(rastertest::RgbaImage(3, 2, rgba));
}

void ExpectSamplePixels(const IRasterBitmap& bitmap) {
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(ReadPixel(bitmap, x, y), (Bgra{7, 20 * y + 2, 10 * x + 1, 100 + x + y}));
}

class PngFileLoader : public ::testing::Test {
protected:
    void SetUp() override {
        mDir = fs::temp_directory_path() /
               ("velmor-raster-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(mDir);
        fs::create_directories(mDir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(mDir, ignored);
    }

    // Writes bytes under a UTF-8 name relative to the test folder and answers
    // the full path as UTF-8, which is what the loader takes.
    std::string Write(const std::string& utf8Name, const Bytes& bytes) {
        const fs::path path = mDir / fs::u8path(utf8Name);
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.u8string();
    }

    fs::path mDir;
};

// A UTF-8 name with non-ASCII characters, decoded into a new bitmap the
// caller owns.
TEST_F(PngFileLoader, LoadsANonAsciiUtf8NameIntoANewBitmap) {
    const std::string path = Write(u8"kn\u00f6b-\u00e9t\u00e9-\u65e5.png", SamplePng());
    std::unique_ptr<IRasterBitmap> bitmap(LoadPngFromFile(path.c_str()));
    ASSERT_NE(bitmap, nullptr);
    ExpectSamplePixels(*bitmap);
}

TEST_F(PngFileLoader, DecodesIntoAGivenDestinationOfAnyKind) {
    const std::string path = Write("knob.png", SamplePng());

    MemBitmap memory(1, 1);
    EXPECT_EQ(LoadPngFromFile(path.c_str(), &memory), &memory);
    ExpectSamplePixels(memory);

    SysBitmap surface(20, 20);  // keeps its wider storage: rows 20 pixels apart
    EXPECT_EQ(LoadPngFromFile(path.c_str(), &surface), &surface);
    EXPECT_EQ(surface.RowStride(), 20);
    ExpectSamplePixels(surface);

    BottomUpBitmap bottomUp(0, 0);  // image row 0 must land in the last storage row
    EXPECT_EQ(LoadPngFromFile(path.c_str(), &bottomUp), &bottomUp);
    ExpectSamplePixels(bottomUp);
    EXPECT_EQ(bottomUp.PixelPointer()[1 * bottomUp.RowStride()].g, 2);
}

// A destination that cannot take the image's size.
class FixedSizeBitmap : public MemBitmap {
public:
    FixedSizeBitmap() : MemBitmap(2, 2) {}
    bool SetSize(int, int) override { return false; }
};

TEST_F(PngFileLoader, FailuresLeaveAGivenDestinationWithTheCaller) {
    const Bytes png = SamplePng();
    const std::string good = Write("good.png", png);
    const std::string truncated = Write("cut.png", Bytes(png.begin(), png.begin() + png.size() / 2));

    FixedSizeBitmap fixed;
    EXPECT_EQ(LoadPngFromFile(good.c_str(), &fixed), nullptr);
    MemBitmap memory(4, 4);
    EXPECT_EQ(LoadPngFromFile(truncated.c_str(), &memory), nullptr);
    // Both still belong to this test (AddressSanitizer would see a double
    // delete at scope end otherwise) and stay usable.
    EXPECT_EQ(fixed.Width(), 2);
    EXPECT_NE(memory.PixelPointer(), nullptr);
}

TEST_F(PngFileLoader, MissingDamagedOrForeignFilesGiveNull) {
    const Bytes png = SamplePng();
    Bytes badCrc = png;
    badCrc[rastertest::FindChunk(png, "IDAT") + 9] ^= 1;
    const std::string paths[] = {
        (mDir / "missing.png").u8string(), Write("text.png", Bytes{'h', 'e', 'l', 'l', 'o'}),
        Write("empty.png", Bytes{}),       Write("cut.png", Bytes(png.begin(), png.begin() + png.size() / 2)),
        Write("crc.png", badCrc),
    };
    for (const std::string& path : paths) {
        EXPECT_EQ(LoadPngFromFile(path.c_str()), nullptr) << path;
    }
    EXPECT_EQ(LoadPngFromFile(nullptr), nullptr);
    EXPECT_EQ(LoadImageByExtension(nullptr, true, nullptr), nullptr);
}

TEST(PngExtension, TextFromTheLastDotOrSlashMustBeDotPngInAnyCase) {
    const struct {
        const char* path;
        bool isPng;
    } cases[] = {
        {"knob.png", true},
        {"art/knob.PNG", true},
        {"C:\\art\\knob.Png", true},
        {".png", true},
        {"dir/.png", true},
        {"knob.png.bak", false},
        {"knob.pngx", false},
        {"knob.pn", false},
        {"knob.jpg", false},
        {"png", false},
        {"", false},
        {"a.png/knob", false},   // the slash comes first
        {"a.png\\knob", false},  // a backslash met first means no extension
        {"C:\\a.png\\knob", false},
        {"knob.p\\ng", false},
    };
    for (const auto& c : cases) EXPECT_EQ(HasPngExtension(c.path), c.isPng) << c.path;
    EXPECT_FALSE(HasPngExtension(nullptr));
}

TEST_F(PngFileLoader, TheExtensionCheckOpensNothingWithoutDotPng) {
    const Bytes png = SamplePng();
    const std::string upper = Write("knob.PNG", png);
    const std::string backup = Write("knob.png.bak", png);
#ifdef _WIN32
    // A file without extension inside a folder named a.png.
    const std::string inFolder = Write("a.png/knob", png);
    const std::string inFolderBackslash = (mDir / "a.png" / "knob").u8string();
#else
    // Backslash is an ordinary name character here; the rule still stops at it.
    const std::string inFolderBackslash = Write("a.png\\knob", png);
#endif
    std::unique_ptr<IRasterBitmap> loaded(LoadImageByExtension(upper.c_str(), true, nullptr));
    ASSERT_NE(loaded, nullptr);
    ExpectSamplePixels(*loaded);

    // Valid PNG data behind each name: null proves the file was not decoded.
    EXPECT_EQ(LoadImageByExtension(backup.c_str(), true, nullptr), nullptr);
    EXPECT_EQ(LoadImageByExtension(inFolderBackslash.c_str(), true, nullptr), nullptr);
    std::unique_ptr<IRasterBitmap> unchecked(LoadImageByExtension(backup.c_str(), false, nullptr));
    EXPECT_NE(unchecked, nullptr);
    std::unique_ptr<IRasterBitmap> uncheckedFolder(LoadImageByExtension(inFolderBackslash.c_str(), false, nullptr));
    EXPECT_NE(uncheckedFolder, nullptr);
}

TEST(ImageLoaderList, HoldsThePngEntry) {
    ASSERT_NE(gImageLoaders, nullptr);
    EXPECT_EQ(gImageLoaders->load, &LoadImageByExtension);
    EXPECT_EQ(gImageLoaders->next, nullptr);
    const char expected[] = {'P', 'N', 'G', ' ', 'f',  'i', 'l', 'e', 's', ' ', '(',  '*', '.',
                             'P', 'N', 'G', ')', '\0', '*', '.', 'P', 'N', 'G', '\0', '\0'};
    EXPECT_EQ(std::memcmp(gImageLoaders->filterList(), expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(PngFileFilter(), expected, sizeof expected), 0);
}

}  // namespace
