#include "base/utf8_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class Utf8Path : public ::testing::Test {
protected:
    void SetUp() override {
        mDir = fs::temp_directory_path() /
               fs::u8path("velmor-utf8-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::create_directories(mDir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(mDir, ignored);
    }
    // The UTF-8 form of a path in the folder.
    std::string Utf8(const char* name) const { return (mDir / fs::u8path(name)).u8string(); }
    fs::path mDir;
};

}  // namespace

TEST_F(Utf8Path, WritesAndReadsBackANonAsciiName) {
    const std::string name = Utf8("Stimme \xc3\xa4\xc3\xb6\xc3\xbc \xe5\xa3\xb0.txt");  // "Stimme äöü 声.txt"
    std::FILE* out = OpenFileUtf8(name.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_GE(std::fputs("take 3", out), 0);
    std::fclose(out);
    // The file carries the Unicode name, not its bytes in another code page.
    EXPECT_TRUE(fs::exists(mDir / fs::u8path("Stimme \xc3\xa4\xc3\xb6\xc3\xbc \xe5\xa3\xb0.txt")));

    std::FILE* in = OpenFileUtf8(name.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, in), 6u);
    std::fclose(in);
    EXPECT_STREQ(text, "take 3");
}

TEST_F(Utf8Path, MissingFilesAndArgumentsGiveNull) {
    EXPECT_EQ(OpenFileUtf8(Utf8("absent \xc3\xa9.wav").c_str(), "rb"), nullptr);
    EXPECT_EQ(OpenFileUtf8(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenFileUtf8(Utf8("x").c_str(), nullptr), nullptr);
    // A folder that does not exist cannot take a new file.
    EXPECT_EQ(OpenFileUtf8(Utf8("no such folder/out.wav").c_str(), "wb"), nullptr);
}
