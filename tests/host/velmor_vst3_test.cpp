// velmor-host driving the real VST 3 bundle: every command gives what it
// gives for the VST 2.4 library (the same audio, byte for byte), a state
// moves from one to the other as a bare chunk, and a state of one
// format is refused by the other by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/host/host_test_support.h"
#include "vst3/host/vst3_module.h"

namespace {

using host_test::ExpectOneLineError;
using host_test::RunCli;
using host_test::ScratchDir;

const std::string kVst2 = VELMOR_PLUGIN_PATH;
const std::string kVst3 = VELMOR_VST3_PATH;

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(VelmorVst3Host, EveryCommandGivesWhatTheVst2LibraryGives) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("stereo.wav"), host_test::Wav(AudioEncoding::kPcm16, 2, 48000),
                        host_test::Ramp(24000, 2));
    host_test::WriteWav(dir.File("mono.wav"), host_test::Wav(AudioEncoding::kPcm16, 1, 44100),
                        host_test::Ramp(22050, 1));
    const std::vector<std::vector<std::string>> renders = {
        {"stereo.wav", "--float"},
        {"mono.wav", "--double", "--set", "Mode=C", "--set", "Db Output=-6"},
        {"stereo.wav", "--block", "33", "--set", "Pres Comp=18", "--set", "Low Cut=off", "--float"},
        {"stereo.wav", "--set", "Power=off", "--set", "Final Comp=1.23", "--float"},
    };
    for (const auto& extra : renders) {
        std::string out[2];
        for (int f = 0; f < 2; ++f) {
            const std::string file = dir.File("out" + std::to_string(f) + ".wav");
            std::vector<std::string> args = {"render", dir.File(extra[0]), file, "--plugin", f ? kVst3 : kVst2};
            args.insert(args.end(), extra.begin() + 1, extra.end());
            const auto r = RunCli(args);
            ASSERT_EQ(r.code, 0) << r.err;
            out[f] = FileBytes(file);
        }
        EXPECT_EQ(out[0], out[1]) << extra[0] << " " << extra.size();
    }
    // info's parameter table is the same table.
    const auto a = RunCli({"info", "--plugin", kVst2, "--set", "Mode=B"});
    const auto b = RunCli({"info", "--plugin", kVst3, "--set", "Mode=B"});
    ASSERT_EQ(b.code, 0) << b.err;
    EXPECT_EQ(a.out.substr(a.out.find("\n#")), b.out.substr(b.out.find("\n#")));
    EXPECT_NE(b.out.find("class id       56334F7276616E65A4C1D2E35112F08D\n"), std::string::npos) << b.out;
    EXPECT_NE(b.out.find("format         VST 3\n"), std::string::npos) << b.out;
    const auto v = RunCli({"--version", "--plugin", kVst3});
    EXPECT_NE(v.out.find("(VST 3): Orvane by Trelowen, version 1.1.0"), std::string::npos) << v.out;
}

TEST(VelmorVst3Host, StatesMoveThroughChunksAndAreRefusedAcrossFormats) {
    ScratchDir dir;
    ASSERT_EQ(RunCli({"state", "save", dir.File("v3.state"), "--plugin", kVst3, "--set", "Mode=D"}).code, 0);
    ASSERT_EQ(RunCli({"state", "save", dir.File("v2.state"), "--plugin", kVst2, "--set", "Mode=D"}).code, 0);
    const auto restored = RunCli({"info", "--plugin", kVst3, "--state", dir.File("v3.state")});
    ASSERT_EQ(restored.code, 0) << restored.err;
    EXPECT_NE(restored.out.find("1.0000   D\n"), std::string::npos) << restored.out;
    // The component state is the VST 2.4 program chunk: bare, it loads into
    // the VST 2.4 library (after the file's 32-byte header, the class id as
    // a 4-byte length and 32 hexadecimal digits, and the 8-byte length of
    // the component's part).
    const std::string v3 = FileBytes(dir.File("v3.state"));
    ASSERT_EQ(v3.size(), 32u + 36u + 8u + 96u);
    EXPECT_EQ(v3.substr(36, 32), "56334F7276616E65A4C1D2E35112F08D");
    std::ofstream(dir.File("chunk.bin"), std::ios::binary) << v3.substr(76);
    for (const std::string& plugin : {kVst2, kVst3}) {
        const auto moved = RunCli({"info", "--plugin", plugin, "--chunk", dir.File("chunk.bin")});
        ASSERT_EQ(moved.code, 0) << moved.err;
        EXPECT_NE(moved.out.find("1.0000   D\n"), std::string::npos) << moved.out;
    }

    const struct {
        std::vector<std::string> args;
        const char* message;
    } refusals[] = {
        {{"info", "--plugin", kVst2, "--state", dir.File("v3.state")},
         "holds the state of plug-in 56334F7276616E65A4C1D2E35112F08D, not of this one"},
        {{"info", "--plugin", kVst3, "--state", dir.File("v2.state")}, "holds the state of a VST 2.4 plug-in"},
        {{"info", "--plugin", kVst3, "--class", "Nothing"}, "holds no plug-in named \"Nothing\" (it holds Orvane)"},
        {{"info", "--plugin", dir.File("Empty.vst3")}, "the bundle has no binary for this platform"},
        {{"info", "--plugin", kVst3, "--state", dir.File("cut.state")}, "is truncated (its plug-in id is cut off)"},
    };
    std::ofstream(dir.File("cut.state"), std::ios::binary) << v3.substr(0, 40);
    std::filesystem::create_directories(dir.File("Empty.vst3/Contents"));
    for (const auto& r : refusals) ExpectOneLineError(RunCli(r.args), r.message);
    EXPECT_EQ(RunCli({"info", "--plugin", kVst3, "--class", "Orvane"}).code, 0);
}

// A third-party bundle, where the machine has Debian's zam-plugins: a
// processor and a controller of separate classes, a side-chain bus.
TEST(VelmorVst3Host, HostsAThirdPartyBundle) {
    const std::string zam = "/usr/lib/vst3/ZamComp.vst3";
    if (!std::filesystem::exists(VST3Module::BinaryPath(zam))) GTEST_SKIP() << "no zam-plugins for this platform";
    ScratchDir dir;
    const auto info = RunCli({"info", "--plugin", zam});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("controller     separate class"), std::string::npos) << info.out;
    ASSERT_EQ(RunCli({"state", "save", dir.File("z.state"), "--plugin", zam, "--set", "Ratio=10"}).code, 0);
    const auto restored = RunCli({"info", "--plugin", zam, "--state", dir.File("z.state")});
    EXPECT_NE(restored.out.find("10.000000\n"), std::string::npos) << restored.out;
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, 1, 48000), host_test::Ramp(4800, 1));
    EXPECT_EQ(RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", zam}).code, 0);
}

}  // namespace
