// velmor-host hosting LV2 plug-ins through lilv: velmor.lv2 renders what
// velmor.so renders, to the bit; its state goes into a state file under the
// plug-in's URI that no other plug-in takes; a bundle of two plug-ins needs
// --class; and a third-party plug-in (Debian's ZamComp, where installed).
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
const std::string kBundle = VELMOR_LV2_BUNDLE;
const std::string kStereo = "urn:trelowen:orvane:stereo";
const std::string kMono = "urn:trelowen:orvane:mono";

TEST(Lv2Host, RendersWhatTheVst2BuildRendersToTheBit) {
    ScratchDir dir;
    for (int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, channels),
                            host_test::Ramp(30000, channels));
        std::vector<std::vector<double>> rendered;
        for (const std::vector<std::string>& plugin :
             {std::vector<std::string>{"--plugin", kVst2},
              std::vector<std::string>{"--plugin", kBundle, "--class", channels == 2 ? kStereo : kMono}}) {
            std::vector<std::string> args = {
                "render", dir.File("in.wav"), dir.File("out.wav"), "--float", "--set", "Pres Comp=18", "--set",
                "Mode=C"};
            args.insert(args.end(), plugin.begin(), plugin.end());
            const auto r = RunCli(args);
            ASSERT_EQ(r.code, 0) << r.err;
            rendered.push_back(ReadAudio(dir.File("out.wav")).samples);
        }
        EXPECT_EQ(rendered[0], rendered[1]);
    }
}

TEST(Lv2Host, StateFilesNameThePluginByItsUri) {
    ScratchDir dir;
    const std::string saved = dir.File("lv2.state");
    const std::vector<std::string> stereo = {"--plugin", kBundle, "--class", kStereo};
    auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    ASSERT_EQ(RunCli(with({"state", "save", saved, "--set", "Mode=D", "--set", "Power=off"}, stereo)).code, 0);
    const auto info = RunCli(with({"info", "--state", saved}, stereo));
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("   D\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("   off\n"), std::string::npos) << info.out;

    ASSERT_EQ(RunCli({"state", "save", dir.File("vst2.state"), "--plugin", kVst2}).code, 0);
    std::ifstream in(saved, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(bytes.size() - 5);
    std::ofstream(dir.File("cut.state"), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const struct {
        std::vector<std::string> plugin;
        std::string file, message;
    } refused[] = {
        {{"--plugin", kVst2}, saved, "holds the state of plug-in " + kStereo + ", not of this one"},
        {stereo, dir.File("vst2.state"), "holds the state of plug-in Qm7z (0x516D377A), not of this one, " + kStereo},
        {{"--plugin", kBundle, "--class", kMono}, saved, "holds the state of plug-in " + kStereo},
        {stereo, dir.File("cut.state"), "truncated"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.file);
        ExpectOneLineError(RunCli(with({"info", "--state", r.file}, r.plugin)), r.message);
    }
}

TEST(Lv2Host, BundlesUrisAndClasses) {
    const auto info = RunCli({"info", "--plugin", kBundle, "--class", kMono});
    ASSERT_EQ(info.code, 0) << info.err;
    for (const char* line :
         {"format         LV2\n", "name           Orvane Mono\n", "author         Trelowen\n", "inputs         1\n",
          "parameters     11\n", "required       http://lv2plug.in/ns/ext/urid#map\n", "X11 UI         yes\n"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
    EXPECT_EQ(info.out.find("latency        0\n"), std::string::npos) << info.out;
    const struct {
        std::vector<std::string> args;
        std::string message;
    } refused[] = {
        {{"info", "--plugin", kBundle}, "the bundle holds 2 plug-ins; --class picks one of: " + kMono + " " + kStereo},
        {{"info", "--plugin", kBundle, "--class", "urn:trelowen:orvane:other"},
         "no LV2 plug-in urn:trelowen:orvane:other"},
        {{"info", "--plugin", kStereo, "--class", kStereo}, "is an LV2 plug-in's URI, which names one"},
        {{"info", "--plugin", "urn:nobody:nothing"}, "no LV2 plug-in urn:nobody:nothing found"},
    };
    for (const auto& r : refused) ExpectOneLineError(RunCli(r.args), r.message);
}

TEST(Lv2Host, HostsAThirdPartyPlugin) {
    const std::string zam = "urn:zamaudio:ZamComp";
    const auto info = RunCli({"info", "--plugin", zam});
    if (info.code != 0) GTEST_SKIP() << zam << " is not installed (zam-plugins)";
    EXPECT_NE(info.out.find("inputs         1\n"), std::string::npos) << info.out;
    ScratchDir dir;
    std::vector<double> loud;
    for (int i = 0; i < 44100; ++i) loud.push_back(0.5 * std::sin(i * 0.05));
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kPcm16, 1), loud);
    const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", zam, "--set", "Threshold=-30",
                           "--set", "Ratio=10"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto out = ReadAudio(dir.File("out.wav")).samples;
    double in2 = 0, out2 = 0;
    for (std::size_t i = out.size() / 2; i < out.size(); ++i) out2 += out[i] * out[i], in2 += loud[i] * loud[i];
    EXPECT_LT(out2, 0.04 * in2);
    ASSERT_EQ(RunCli({"state", "save", dir.File("z.state"), "--plugin", zam, "--set", "Ratio=8"}).code, 0);
    const auto restored = RunCli({"info", "--plugin", zam, "--state", dir.File("z.state")});
    ASSERT_EQ(restored.code, 0) << restored.err;
    EXPECT_NE(restored.out.find("   8\n"), std::string::npos) << restored.out;
}

}  // namespace
