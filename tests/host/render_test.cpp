// Rendering through a VST 2.4 effect that is not ours: exact samples for
// every processing path, block size and channel layout; the host's side of
// the conversation as the plug-in sees it; state files; and every error a
// user can run into.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "tests/host/host_test_support.h"
#include "tests/host/plugins/gain_plugin.h"
#include "tools/velmor-host/hosted_vst2.h"
#include "tools/velmor-host/parameter_access.h"
#include "tools/velmor-host/render.h"

namespace {

using host_test::Audio;
using host_test::ExpectOneLineError;
using host_test::Ramp;
using host_test::ReadAudio;
using host_test::RunCli;
using host_test::ScratchDir;
using host_test::Wav;
using host_test::WriteWav;

const std::string kStereo = HOST_GAIN_STEREO_PATH;
const std::string kMono = HOST_GAIN_MONO_PATH;
const std::string kDownmix = HOST_GAIN_DOWNMIX_PATH;
const std::string kAccumulating = HOST_GAIN_ACCUMULATING_PATH;
constexpr int kFrames = 1000;

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::path(path)); }

// (block size, 64-bit, channels of the file)
class RenderPaths : public ::testing::TestWithParam<std::tuple<int, bool, int>> {};

// Gain 0.5 halves every sample exactly (the ramp is on a 2^-15 grid, so
// halves are exact in float). The stereo plug-in delays by three samples
// and announces it: the output must still line up with the input, frame
// for frame, and be as long.
TEST_P(RenderPaths, HalvesEverySampleInPlaceAndInLength) {
    const auto [block, useDouble, channels] = GetParam();
    ScratchDir dir;
    const std::vector<double> input = Ramp(kFrames, channels);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, channels, 48000), input);
    std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin",           kStereo,
                                     "--set",  "Gain=0.5",         "--block",           std::to_string(block)};
    if (useDouble) args.push_back("--double");
    const auto r = RunCli(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;

    const Audio out = ReadAudio(dir.File("out.wav"));
    EXPECT_EQ(out.format.sampleRate, 48000);
    EXPECT_EQ(out.format.channels, channels);
    EXPECT_EQ(out.format.encoding, AudioEncoding::kFloat32);
    ASSERT_EQ(out.samples.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) ASSERT_EQ(out.samples[i], 0.5 * input[i]) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(BlocksPrecisionChannels, RenderPaths,
                         ::testing::Combine(::testing::Values(1, 7, 512, 4096), ::testing::Bool(),
                                            ::testing::Values(1, 2)));

// Settings given on the command line shape the render: display-text values
// and values found by searching the display both arrive.
TEST(Render, SettingsReachTheAudio) {
    const struct {
        std::vector<std::string> settings;
        double left, right;  // output channel = left * input L + right * input R (for the left output)
        bool swapped;
    } cases[] = {
        {{"Mode=Invert"}, -1.0, 0.0, false},
        {{"Mode=Swap", "Gain=0.25"}, 0.25, 0.0, true},
        {{"Trim=-6.02"}, 0.5000345, 0.0, false},  // 10^(-6.02/20) = 10^-0.301; display resolution 0.005 dB
    };
    ScratchDir dir;
    const std::vector<double> input = Ramp(300, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), input);
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kStereo};
        for (const std::string& s : c.settings) args.insert(args.end(), {"--set", s});
        const auto r = RunCli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const Audio out = ReadAudio(dir.File("out.wav"));
        ASSERT_EQ(out.samples.size(), input.size());
        for (std::size_t f = 0; f < 300; ++f) {
            const double l = input[2 * f];
            const double rr = input[2 * f + 1];
            const double expectL = c.left * (c.swapped ? rr : l);
            const double expectR = c.left * (c.swapped ? l : rr);
            // 0.0003 of full scale covers the trim case's display resolution
            // (0.005 dB is 0.06 % of the gain); the others are exact.
            EXPECT_NEAR(out.samples[2 * f], expectL, 3e-4 * std::fabs(l) + 1e-12) << f;
            EXPECT_NEAR(out.samples[2 * f + 1], expectR, 3e-4 * std::fabs(rr) + 1e-12) << f;
        }
    }
}

// Integer files stay integer files and pass through unity gain untouched.
TEST(Render, KeepsSixteenBitFilesBitExactAtUnityGain) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(kFrames, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 2, 22050), input);
    const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kStereo});
    ASSERT_EQ(r.code, 0) << r.err;
    const Audio out = ReadAudio(dir.File("out.wav"));
    EXPECT_EQ(out.format.encoding, AudioEncoding::kPcm16);
    EXPECT_EQ(out.format.sampleRate, 22050);
    EXPECT_EQ(out.samples, input);
}

TEST(Render, MonoPluginTakesMonoFilesAndDefaultPluginIsUsed) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(kFrames, 1);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 1), input);
    const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--set", "Mode=Invert"}, kMono);
    ASSERT_EQ(r.code, 0) << r.err;
    const Audio out = ReadAudio(dir.File("out.wav"));
    ASSERT_EQ(out.samples.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) ASSERT_EQ(out.samples[i], -input[i]) << i;
}

// Older plug-in shapes: more inputs than outputs, and only the accumulating callback (the host clears the outputs
// of every block before the plug-in adds to them). Blocks of 7 make many
// calls into the same buffers.
TEST(Render, PluginsWithFewerOutputsOrOnlyAccumulatingProcessing) {
    const struct {
        const std::string* plugin;
        const char* setting;
        double gain;
    } cases[] = {
        // A mono file goes into both inputs, which the plug-in sums.
        {&kDownmix, "Gain=0.5", 2 * 0.5},
        {&kDownmix, "Mode=Invert", 2 * -1.0},
        {&kAccumulating, "Mode=Invert", -1.0},
        {&kAccumulating, "Gain=0.25", 0.25},
    };
    ScratchDir dir;
    const std::vector<double> input = Ramp(kFrames, 1);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 1), input);
    for (const auto& c : cases) {
        for (const char* block : {"7", "4096"}) {
            const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", *c.plugin, "--set",
                                   c.setting, "--block", block});
            ASSERT_EQ(r.code, 0) << c.setting << ": " << r.err;
            const Audio out = ReadAudio(dir.File("out.wav"));
            ASSERT_EQ(out.samples.size(), input.size()) << c.setting;
            for (std::size_t i = 0; i < input.size(); ++i)
                ASSERT_EQ(out.samples[i], c.gain * input[i])
                    << *c.plugin << " " << c.setting << " block " << block << " sample " << i;
        }
    }
    // A stereo file has no second output to go to.
    WriteWav(dir.File("stereo.wav"), Wav(AudioEncoding::kFloat32, 2), Ramp(kFrames, 2));
    ExpectOneLineError(RunCli({"render", dir.File("stereo.wav"), dir.File("out2.wav"), "--plugin", kDownmix}),
                       "the plug-in has 1 output; the file has 2 channels");
    EXPECT_FALSE(Exists(dir.File("out2.wav")));
}

TEST(Render, EmptyFileGivesAnEmptyFile) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm24, 2), {});
    const auto r = RunCli({"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kStereo});
    ASSERT_EQ(r.code, 0) << r.err;
    const Audio out = ReadAudio(dir.File("out.wav"));
    EXPECT_EQ(out.format.channels, 2);
    EXPECT_TRUE(out.samples.empty());
}

// What the plug-in sees of the host: the answers to its requests, the call
// order (checked by the plug-in itself), block sizes and the transport.
TEST(HostCallback, AnswersWhatThePluginAsks) {
    Vst2Instance plugin;
    std::string error;
    ASSERT_TRUE(plugin.Load(kStereo, 96000.0, 256, error)) << error;
    auto ask = [&](VstInt32 opcode, void* ptr = nullptr) {
        return plugin.Dispatch(effVendorSpecific, kGainQueryHost, opcode, ptr);
    };
    EXPECT_EQ(ask(audioMasterVersion), 2400);
    EXPECT_EQ(ask(audioMasterGetSampleRate), 96000);
    EXPECT_EQ(ask(audioMasterGetBlockSize), 256);
    EXPECT_EQ(ask(audioMasterGetCurrentProcessLevel), kVstProcessLevelOffline);
    EXPECT_EQ(ask(audioMasterGetVendorVersion), kHostVendorVersion);
    EXPECT_EQ(ask(audioMasterIOChanged), 1);
    EXPECT_EQ(ask(audioMasterAutomate), 1);
    EXPECT_EQ(ask(audioMasterBeginEdit), 1);
    EXPECT_EQ(ask(audioMasterEndEdit), 1);
    EXPECT_EQ(ask(audioMasterUpdateDisplay), 1);
    EXPECT_EQ(ask(audioMasterSizeWindow), 0);
    EXPECT_EQ(ask(12345), 0);
    char text[256] = {};
    EXPECT_EQ(ask(audioMasterGetProductString, text), 1);
    EXPECT_STREQ(text, "velmor-host");
    EXPECT_EQ(ask(audioMasterGetVendorString, text), 1);
    EXPECT_STREQ(text, "Velmor");
    char canDo[] = "sendVstTimeInfo";
    EXPECT_EQ(ask(audioMasterCanDo, canDo), 1);
    char cannot[] = "receiveVstMidiEvent";
    EXPECT_EQ(ask(audioMasterCanDo, cannot), 0);
    EXPECT_EQ(ask(audioMasterCanDo), 0);

    const auto* time = reinterpret_cast<const VstTimeInfo*>(ask(audioMasterGetTime));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->samplePos, 0.0);
    EXPECT_EQ(time->sampleRate, 96000.0);
    EXPECT_EQ(time->tempo, 120.0);
    EXPECT_EQ(time->timeSigNumerator, 4);
    EXPECT_EQ(time->flags & (kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstTransportPlaying),
              kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid);
    plugin.Close();
}

TEST(HostCallback, DrivesThePluginAsAHostShould) {
    for (const bool useDouble : {false, true}) {
        ScratchDir dir;
        WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 2, 44100), Ramp(kFrames, 2));
        std::string error;
        auto reader = OpenAudioReader(dir.File("in.wav"), error);
        ASSERT_TRUE(reader) << error;
        auto writer = OpenAudioWriter(dir.File("out.wav"), reader->Format(), error);
        ASSERT_TRUE(writer) << error;
        Vst2Instance plugin;
        ASSERT_TRUE(plugin.Load(kStereo, 44100.0, 300, error)) << error;
        RenderSettings settings;
        settings.blockSize = 300;
        settings.doublePrecision = useDouble;
        ASSERT_TRUE(RenderAudio(plugin, *reader, *writer, settings, nullptr, error)) << error;
        ASSERT_TRUE(writer->Close(error)) << error;

        // 1000 frames read in blocks of 300 (300, 300, 300, 100), then one
        // block of the 3 frames of silence that flush the latency. The
        // plug-in counted no contract errors: open before use, resumed
        // while processing, no block over 300, GetTime's samplePos equal
        // to the frames it had processed.
        EXPECT_EQ(plugin.Dispatch(effVendorSpecific, kGainContractErrors), 0);
        EXPECT_EQ(plugin.Dispatch(effVendorSpecific, useDouble ? kGainDoubleBlocks : kGainFloatBlocks), 5);
        EXPECT_EQ(plugin.Dispatch(effVendorSpecific, useDouble ? kGainFloatBlocks : kGainDoubleBlocks), 0);
        EXPECT_EQ(plugin.Dispatch(effVendorSpecific, kGainPrecision),
                  1 + (useDouble ? kVstProcessPrecision64 : kVstProcessPrecision32));
        EXPECT_EQ(plugin.SamplePosition(), 1003.0);
        plugin.Close();
    }
}

TEST(State, SavedStateRestoresAndSettingsApplyOnTop) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(200, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), input);
    auto r =
        RunCli({"state", "save", dir.File("s.bin"), "--plugin", kStereo, "--set", "Gain=0.5", "--set", "Mode=Invert"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(dir.File("s.bin"))), 32u + 16u);  // header, chunk

    // A state saved from a state plus one more setting.
    r = RunCli(
        {"state", "save", dir.File("s2.bin"), "--plugin", kStereo, "--state", dir.File("s.bin"), "--set", "Gain=2"});
    ASSERT_EQ(r.code, 0) << r.err;

    const struct {
        std::vector<std::string> extra;
        double factor;
    } cases[] = {
        {{"--state", dir.File("s.bin")}, -0.5},
        {{"--state", dir.File("s.bin"), "--set", "Mode=Thru"}, 0.5},
        {{"--state", dir.File("s2.bin")}, -2.0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kStereo};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        r = RunCli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const Audio out = ReadAudio(dir.File("out.wav"));
        ASSERT_EQ(out.samples.size(), input.size());
        for (std::size_t i = 0; i < input.size(); ++i) ASSERT_EQ(out.samples[i], c.factor * input[i]) << i;
    }
}

TEST(Info, ShowsTheRecordAndEveryParameter) {
    const auto r = RunCli({"info", "--plugin", kStereo});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line :
         {"format         VST 2.4", "magic          VstP (0x56737450)", "unique id      HtGn (0x4874476E)",
          "flags          0x00001030 CanReplacing ProgramChunks CanDoubleReplacing", "inputs         2",
          "outputs        2", "parameters     3", "initialDelay   3", "effect name    Test Gain",
          "vendor         Host Tests"}) {
        EXPECT_NE(r.out.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << r.out;
    }
    // Parameter rows after the heading: index, name, range, default
    // (normalised), display text last.
    const std::size_t heading = r.out.find("\n#");
    ASSERT_NE(heading, std::string::npos) << r.out;
    std::istringstream text(r.out.substr(r.out.find('\n', heading + 1) + 1));
    std::vector<std::string> rows;
    for (std::string row; std::getline(text, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    const char* expected[3][4] = {{"0   Gain", "0.000 to 2.000", "0.5000", "1.000"},
                                  {"1   Mode", "0=Thru | 1=Invert | 2=Swap", "0.0000", "Thru"},
                                  {"2   Trim", "-12.00 to 12.00 dB", "0.5000", "0.00 dB"}};
    for (int i = 0; i < 3; ++i) {
        for (const char* cell : expected[i]) EXPECT_NE(rows[i].find(cell), std::string::npos) << rows[i];
        const std::string display = expected[i][3];
        EXPECT_EQ(rows[i].substr(rows[i].size() - display.size()), display) << rows[i];
    }
}

TEST(Errors, EveryUserMistakeGivesOneClearLineAndNoOutputFile) {
    ScratchDir dir;
    WriteWav(dir.File("stereo.wav"), Wav(AudioEncoding::kPcm16, 2), Ramp(100, 2));
    WriteWav(dir.File("mono.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(100, 1));
    WriteWav(dir.File("three.wav"), Wav(AudioEncoding::kPcm16, 3), Ramp(100, 3));
    {
        std::ofstream text(dir.File("notes.wav"));
        text << "this is not audio\n";
        std::ofstream lib(dir.File("garbage.plugin"), std::ios::binary);
        lib << "MZ but not really a library";
        std::ofstream state(dir.File("bad.state"), std::ios::binary);
        state << "0123456789abcdef";
    }
    const std::string in = dir.File("stereo.wav");
    const std::string out = dir.File("out.wav");
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"render", dir.File("nothing.wav"), out, "--plugin", kStereo}, "cannot open"},
        {{"render", dir.File("notes.wav"), out, "--plugin", kStereo}, "notes.wav"},
        {{"render", dir.File("three.wav"), out, "--plugin", kStereo},
         "the plug-in has 2 inputs; the file has 3 channels"},
        {{"render", in, out, "--plugin", NO_ENTRY_PATH}, "no VSTPluginMain or main entry point"},
        {{"render", in, out, "--plugin", WRONG_MAGIC_PATH}, "wrong magic"},
        {{"render", in, out, "--plugin", dir.File("garbage.plugin")}, "cannot load"},
        {{"render", in, out, "--plugin", dir.File("missing.plugin")}, "cannot load"},
        {{"render", in, out}, "cannot load"},  // no plug-in beside the executable here
        {{"render", in, out, "--plugin", kStereo, "--set", "Volume=2"}, "unknown parameter \"Volume\""},
        {{"render", in, out, "--plugin", kStereo, "--set", "Gain=9"}, "outside the range 0.000 to 2.000"},
        {{"render", in, out, "--plugin", kStereo, "--set", "Mode=Loud"}, "allowed: Thru, Invert, Swap"},
        {{"render", dir.File("mono.wav"), out, "--plugin", kMono, "--double"}, "64-bit"},
        {{"render", in, out, "--plugin", kMono}, "the plug-in has 1 input; the file has 2 channels"},
        {{"render", in, in, "--plugin", kStereo}, "must be another file"},
        {{"render", in, dir.File("no/dir/out.wav"), "--plugin", kStereo}, "cannot create"},
        {{"render", in, out, "--plugin", kStereo, "--state", dir.File("none.state")}, "cannot open"},
        {{"render", in, out, "--plugin", kStereo, "--state", dir.File("bad.state")}, "not a velmor-host state file"},
        {{"render", in, out, "--plugin", kStereo, "--chunk", dir.File("bad.state")}, "did not accept the state"},
        {{"info", "--plugin", WRONG_MAGIC_PATH}, "wrong magic"},
        {{"render", in}, "IN and OUT"},
    };
    for (const auto& c : cases) {
        const auto r = RunCli(c.args, dir.File("absent/velmor.so"));
        SCOPED_TRACE(c.message);
        ExpectOneLineError(r, c.message);
        EXPECT_FALSE(Exists(out));
        EXPECT_FALSE(Exists(dir.File("s.bin")));
    }
    // The input survives an attempt to render onto itself.
    EXPECT_EQ(ReadAudio(in).samples, Ramp(100, 2));
}

#if !defined(VELMOR_HOST_HAS_SNDFILE)
TEST(Errors, BuildsWithoutLibsndfileWriteOnlyWav) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 2), Ramp(10, 2));
    ExpectOneLineError(RunCli({"render", dir.File("in.wav"), dir.File("out.flac"), "--plugin", kStereo}),
                       "writes only WAV");
}
#endif

}  // namespace
