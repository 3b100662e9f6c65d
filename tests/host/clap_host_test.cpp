// velmor-host hosting CLAP files: Velmor.clap renders what velmor.so renders,
// to the bit, in both precisions; its state goes into a state file that names
// the plug-in by its text id (format 2) and that no other plug-in takes; info,
// --version and --class; and a third-party plug-in (Debian's ZamComp, where
// it is installed).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/host/host_test_support.h"

namespace {

using host_test::ExpectOneLineError;
using host_test::ReadAudio;
using host_test::RunCli;
using host_test::ScratchDir;

const std::string kVst2 = VELMOR_PLUGIN_PATH;
const std::string kClap = VELMOR_CLAP_PATH;
const std::string kZamComp = "/usr/lib/clap/ZamComp.clap";

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

double Peak(const std::vector<double>& samples) {
    double peak = 0;
    for (double s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

// RMS of the second half, past any attack.
double LateRms(const std::vector<double>& samples) {
    double sum = 0;
    for (std::size_t i = samples.size() / 2; i < samples.size(); ++i) sum += samples[i] * samples[i];
    return std::sqrt(sum / static_cast<double>(samples.size() - samples.size() / 2));
}

TEST(ClapHost, RendersWhatTheVst2BuildRendersToTheBit) {
    ScratchDir dir;
    for (int channels : {2, 1}) {
        host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, channels),
                            host_test::Ramp(30000, channels));
        for (bool doubles : {false, true}) {
            SCOPED_TRACE(std::to_string(channels) + (doubles ? " channels, double" : " channels, float"));
            std::vector<std::vector<double>> rendered;
            for (const std::string& plugin : {kVst2, kClap}) {
                std::vector<std::string> args = {"render",
                                                 dir.File("in.wav"),
                                                 dir.File("out.wav"),
                                                 "--plugin",
                                                 plugin,
                                                 "--float",
                                                 "--set",
                                                 "Pres Comp=18",
                                                 "--set",
                                                 "Mode=C"};
                if (doubles) args.push_back("--double");
                const auto r = RunCli(args);
                ASSERT_EQ(r.code, 0) << r.err;
                rendered.push_back(ReadAudio(dir.File("out.wav")).samples);
            }
            ASSERT_EQ(rendered[0].size(), rendered[1].size());
            EXPECT_EQ(rendered[0], rendered[1]);
            EXPECT_GT(Peak(rendered[1]), 0.0);
        }
    }
}

TEST(ClapHost, StateFilesNameThePluginByItsTextId) {
    ScratchDir dir;
    const std::string saved = dir.File("clap.state");
    ASSERT_EQ(RunCli({"state", "save", saved, "--plugin", kClap, "--set", "Mode=D", "--set", "Power=off"}).code, 0);
    const Bytes bytes = ReadBytes(saved);
    const std::string id = "com.trelowen.orvane";
    ASSERT_EQ(bytes.size(), 32u + 4u + id.size() + 8u + 11u * 8u);
    EXPECT_EQ(bytes[8], 2);  // format 2: a text id follows the header
    EXPECT_EQ(bytes[32], id.size());
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 36 + static_cast<std::ptrdiff_t>(id.size())), id);
    const auto info = RunCli({"info", "--plugin", kClap, "--state", saved});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("   D\n"), std::string::npos) << info.out;

    ASSERT_EQ(RunCli({"state", "save", dir.File("vst2.state"), "--plugin", kVst2}).code, 0);
    WriteBytes(dir.File("cut.state"), Bytes(bytes.begin(), bytes.begin() + 40));
    Bytes noId = bytes;
    noId[32] = 0;
    WriteBytes(dir.File("no-id.state"), noId);
    const struct {
        std::string plugin, file, message;
    } refused[] = {
        {kVst2, saved, "holds the state of plug-in com.trelowen.orvane, not of this one, Qm7z (0x516D377A)"},
        {kClap, dir.File("vst2.state"), "holds the state of plug-in Qm7z (0x516D377A), not of this one, " + id},
        {kClap, dir.File("cut.state"), "is truncated (its plug-in id is cut off)"},
        {kClap, dir.File("no-id.state"), "names its plug-in with an id of 0 bytes"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.file);
        ExpectOneLineError(RunCli({"info", "--plugin", r.plugin, "--state", r.file}), r.message);
    }
}

TEST(ClapHost, InfoVersionAndClass) {
    const auto info = RunCli({"info", "--plugin", kClap, "--class", "com.trelowen.orvane"});
    ASSERT_EQ(info.code, 0) << info.err;
    for (const char* line :
         {"format         CLAP\n", "id             com.trelowen.orvane\n", "name           Orvane\n",
          "vendor         Trelowen\n", "parameters     11\n", "inputs         2 (main)\n", "latency        130\n"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
    // The latency the VST 2.4 build reports at the same rate.
    const auto vst2 = RunCli({"info", "--plugin", kVst2});
    const std::size_t delay = vst2.out.find("initialDelay   ");
    ASSERT_NE(delay, std::string::npos) << vst2.out;
    const std::string latency = vst2.out.substr(delay + 15, vst2.out.find('\n', delay) - delay - 15);
    EXPECT_NE(latency, "0");
    EXPECT_NE(info.out.find("latency        " + latency + "\n"), std::string::npos) << info.out;
    const auto version = RunCli({"--version", "--plugin", kClap});
    EXPECT_NE(version.out.find("(CLAP): Orvane by Trelowen, version 1.1.0, unique id com.trelowen.orvane"),
              std::string::npos)
        << version.out;

    ScratchDir dir;
    std::filesystem::copy_file(kVst2, dir.File("vst2.clap"));
    ExpectOneLineError(RunCli({"info", "--plugin", kClap, "--class", "com.trelowen.other"}),
                       "holds no plug-in com.trelowen.other (it holds com.trelowen.orvane)");
    ExpectOneLineError(RunCli({"info", "--plugin", dir.File("vst2.clap")}), "is not a CLAP plug-in (no clap_entry)");
}

TEST(ClapHost, HostsAThirdPartyPlugin) {
#if defined(_WIN32)
    GTEST_SKIP() << "Debian's CLAP plug-ins are Linux libraries";
#endif
    if (!std::filesystem::exists(kZamComp)) GTEST_SKIP() << kZamComp << " is not installed (zam-plugins)";
    const auto info = RunCli({"info", "--plugin", kZamComp});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("id             com.zamaudio.ZamComp\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("inputs         1 (main) + 1\n"), std::string::npos) << info.out;

    ScratchDir dir;
    std::vector<double> loud;
    for (int i = 0; i < 44100; ++i) loud.push_back(0.5 * std::sin(i * 0.05));
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, 1), loud);
    const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kZamComp, "--set",
                           "Threshold=-30", "--set", "Ratio=10"});
    ASSERT_EQ(r.code, 0) << r.err;
    // 21 dB over the threshold at 10:1 is about 19 dB less.
    EXPECT_LT(LateRms(ReadAudio(dir.File("out.wav")).samples), 0.2 * LateRms(loud));

    // No state extension: its state is its parameter values.
    ASSERT_EQ(RunCli({"state", "save", dir.File("z.state"), "--plugin", kZamComp, "--set", "Ratio=8"}).code, 0);
    const auto restored = RunCli({"info", "--plugin", kZamComp, "--state", dir.File("z.state")});
    ASSERT_EQ(restored.code, 0) << restored.err;
    EXPECT_NE(restored.out.find("8.000000\n"), std::string::npos) << restored.out;
}

}  // namespace
