// velmor-host render as its users drive it (the built executable where the
// platform allows): output types and sample formats, dither and the
// clipping report, latency compensation with a plug-in that announces its
// delay late, mono files through stereo plug-ins, wide plug-ins, and the
// messages for inputs that cannot be rendered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "tests/host/host_test_support.h"
#include "tests/host/plugins/gain_plugin.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/wav_file.h"

namespace {

using host_test::Audio;
using host_test::ExpectOneLineError;
using host_test::Ramp;
using host_test::ReadAudio;
using host_test::RunHostProcess;
using host_test::ScratchDir;
using host_test::Wav;
using host_test::WriteWav;
using Args = std::vector<std::string>;

const std::string kStereo = HOST_GAIN_STEREO_PATH;
const std::string kMono = HOST_GAIN_MONO_PATH;
const std::string kLate = HOST_LATE_LATENCY_PATH;
const std::string kWide = HOST_WIDE_PATH;

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

Args Render(const ScratchDir& dir, const std::string& out, const std::string& plugin, const Args& extra = {}) {
    Args args = {"render", dir.File("in.wav"), dir.File(out), "--plugin", plugin};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// `info` with settings shows what a render would use. A parameter is also
// named by its index ("#2"), a choice by its rank from 0 as info numbers
// them, and a name that two parameters share is refused with both indexes.
TEST(Settings, ByIndexByRankAndNeverByAnAmbiguousName) {
    const std::string kTwin = HOST_TWIN_NAMES_PATH;  // #0 "Gain", #1 "Mode", #2 "Gain" (the dB trim)
    const struct {
        std::string plugin;
        Args settings;
        const char* row;    // the parameter row info shows, to its end (null: refused)
        const char* error;  // the one line on stderr
    } cases[] = {
        {kTwin,
         {"--set", "#2=-6"},
         "-6.00 \xC2\xB0"
         "C\n",
         nullptr},
        {kTwin, {"--set", "#0=1.5", "--set", "Mode=1"}, "0.5000   Invert\n", nullptr},
        {kStereo, {"--set", "Mode=2"}, "Swap\n", nullptr},
        {kStereo, {"--set", "Mode=Invert", "--set", "Gain=0.5"}, "0.2500   0.500\n", nullptr},
        {kTwin,
         {"--set", "Gain=1"},
         nullptr,
         "parameter name \"Gain\" is ambiguous (#0 Gain, #2 Gain); name one by its index, as in --set \"#2=VALUE\""},
        {kTwin, {"--set", "GAIN=1"}, nullptr, "is ambiguous (#0 Gain, #2 Gain)"},
        {kStereo, {"--set", "#3=1"}, nullptr, "no parameter #3 (the plug-in has 3 parameters, #0 to #2)"},
        {kStereo, {"--set", "Mode=3"}, nullptr, "\"3\" is not accepted (allowed: Thru, Invert, Swap, or 0 to 2)"},
        {"", {}, nullptr, "no plug-in given (--plugin names an empty path)"},
        {kStereo, {"--class", "Other"}, nullptr, "is a VST 2.4 library, which holds one (leave out --class)"},
    };
    for (const auto& c : cases) {
        Args args = {"info", "--plugin", c.plugin};
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        const auto r = RunHostProcess(args);
        SCOPED_TRACE(c.settings.empty() ? std::string("--plugin \"\"") : c.settings.back());
        if (!c.row) {
            ExpectOneLineError(r, c.error);
            continue;
        }
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out.find("value    display\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.row), std::string::npos) << r.out;
    }
}

// The container comes from OUT's extension (any case) or --type, as sox
// chooses it; a name that says nothing known is refused before rendering.
TEST(OutputType, ComesFromTheExtensionOrTypeAndUnknownOnesAreRefused) {
    const struct {
        const char* out;
        Args extra;
        AudioContainer container;
        const char* error;  // null: renders
    } cases[] = {
        {"b.wav", {}, AudioContainer::kWav, nullptr},
        {"b.WAVE", {}, AudioContainer::kWav, nullptr},
        {"b.aiff", {}, AudioContainer::kAiff, nullptr},
        {"b.flac", {}, AudioContainer::kFlac, nullptr},
        {"b.caf", {}, AudioContainer::kCaf, nullptr},
        {"b.w64", {}, AudioContainer::kW64, nullptr},
        {"b.au", {}, AudioContainer::kAu, nullptr},
        {"b.dat", {"-t", "flac"}, AudioContainer::kFlac, nullptr},
        {"b.wav", {"--type", "aiff"}, AudioContainer::kAiff, nullptr},
        {"b", {}, AudioContainer::kWav, "cannot tell the output type from the name"},
        {".wav", {}, AudioContainer::kWav, "cannot tell the output type from the name"},
        {"b.xyz", {}, AudioContainer::kWav, "unknown output type \".xyz\""},
        {"b.wav", {"-t", "mp4"}, AudioContainer::kWav, "unknown output type \"mp4\""},
    };
    ScratchDir dir;
    const std::vector<double> input = Ramp(300, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 2), input);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        AudioFormat probe = Wav(AudioEncoding::kPcm16, 2);
        probe.container = c.container;
        const auto r = RunHostProcess(Render(dir, c.out, kStereo, c.extra));
        if (c.error) {
            ExpectOneLineError(r, c.error);
        } else if (!CanWrite(probe)) {
            ExpectOneLineError(r, "this build cannot write");  // the Windows build: WAV only
        } else {
            ASSERT_EQ(r.code, 0) << r.err;
            const Audio out = ReadAudio(dir.File(c.out));
            EXPECT_EQ(out.format.container, c.container);
            EXPECT_EQ(out.format.encoding, AudioEncoding::kPcm16);
            EXPECT_EQ(out.samples, input);
        }
        std::error_code ec;
        fs::remove(dir.File(c.out), ec);
    }
}

// Lossy and headerless types are written when this build's libsndfile can;
// otherwise refused by name, never written as something else.
TEST(OutputType, LossyAndRawTypesAreWrittenOrRefusedByName) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(4800, 1);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1, 48000), input);
    const struct {
        const char* out;
        AudioContainer container;
        AudioEncoding encoding;
    } cases[] = {{"b.raw", AudioContainer::kRaw, AudioEncoding::kPcm16},
                 {"b.ogg", AudioContainer::kOgg, AudioEncoding::kLossy},
                 {"b.opus", AudioContainer::kOpus, AudioEncoding::kLossy},
                 {"b.mp3", AudioContainer::kMp3, AudioEncoding::kLossy}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        AudioFormat probe = Wav(c.encoding, 1, 48000);
        probe.container = c.container;
        const auto r = RunHostProcess(Render(dir, c.out, kMono));
        if (!CanWrite(probe)) {
            ExpectOneLineError(r, std::string("this build cannot write ") + ContainerName(c.container));
            EXPECT_FALSE(fs::exists(dir.File(c.out)));
            continue;
        }
        ASSERT_EQ(r.code, 0) << r.err;
        if (c.container == AudioContainer::kRaw) {
            EXPECT_EQ(fs::file_size(dir.File(c.out)), 2u * 4800);  // the samples alone
        } else {
            const std::string head = Contents(dir.File(c.out)).substr(0, 4);
            EXPECT_TRUE(head == "OggS" || head == "ID3\x04" || head.substr(0, 3) == "ID3" ||
                        static_cast<unsigned char>(head[0]) == 0xFF)
                << head;
        }
        if (c.encoding == AudioEncoding::kLossy)
            ExpectOneLineError(RunHostProcess(Render(dir, c.out, kMono, {"--bits", "16"})),
                               "has no sample format to choose");
    }
}

// --bits, -e and --float choose the output's samples; without them the
// input's are kept; FLAC takes integers only.
TEST(OutputSamples, FormatOptionsChooseTheEncoding) {
    const struct {
        AudioEncoding input;
        const char* out;
        Args extra;
        AudioEncoding expected;
        const char* error;
    } cases[] = {
        {AudioEncoding::kPcm16, "b.wav", {}, AudioEncoding::kPcm16, nullptr},
        {AudioEncoding::kPcm16, "b.wav", {"--float"}, AudioEncoding::kFloat32, nullptr},
        {AudioEncoding::kPcm16, "b.wav", {"--bits", "64"}, AudioEncoding::kFloat64, nullptr},
        {AudioEncoding::kPcm16, "b.wav", {"-e", "float", "-b", "64"}, AudioEncoding::kFloat64, nullptr},
        {AudioEncoding::kFloat32, "b.wav", {"-b", "24"}, AudioEncoding::kPcm24, nullptr},
        {AudioEncoding::kFloat32, "b.wav", {"-e", "signed"}, AudioEncoding::kPcm24, nullptr},
        {AudioEncoding::kFloat32, "b.wav", {"--bits=32"}, AudioEncoding::kPcm32, nullptr},
        {AudioEncoding::kFloat64, "b.wav", {"--bits", "8"}, AudioEncoding::kPcm8, nullptr},
        {AudioEncoding::kPcm16, "b.flac", {"--float"}, AudioEncoding::kFloat32, "FLAC holds integer samples"},
        {AudioEncoding::kPcm16, "b.flac", {"-b", "32"}, AudioEncoding::kPcm32, "FLAC holds integer samples"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.out) + " " + (c.extra.empty() ? "" : c.extra[0]));
        ScratchDir dir;
        WriteWav(dir.File("in.wav"), Wav(c.input, 1), {0.5, -0.25, 0.0});
        const auto r = RunHostProcess(Render(dir, c.out, kMono, c.extra));
        if (c.error) {
            // The Windows build refuses FLAC before looking at the samples.
            ExpectOneLineError(r, CanWrite([] {
                                   AudioFormat f = Wav(AudioEncoding::kPcm16, 1);
                                   f.container = AudioContainer::kFlac;
                                   return f;
                               }())
                                      ? c.error
                                      : "this build cannot write");
            continue;
        }
        ASSERT_EQ(r.code, 0) << r.err;
        const Audio out = ReadAudio(dir.File(c.out));
        EXPECT_EQ(out.format.encoding, c.expected);
        EXPECT_EQ(out.samples, (std::vector<double>{0.5, -0.25, 0.0}));  // on every grid
    }
}

// Integer output is rounded to nearest; at 16 bits with TPDF dither, which
// leaves samples already on the grid alone and moves the others by less
// than one step, without bias.
TEST(OutputSamples, RoundsToNearestAndDithersSixteenBitsUnlessTold) {
    ScratchDir dir;
    const double lsb16 = 1.0 / 32768;
    std::vector<double> input;
    for (int i = 0; i < 4000; ++i) {
        // Even frames on the 16-bit grid, odd ones a third of a step off it.
        const double onGrid = ((i * 7919) % 20000 - 10000) * lsb16;
        input.push_back(i % 2 == 0 ? onGrid : onGrid + lsb16 / 3);
    }
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat64, 1), input);
    const struct {
        Args extra;
        double step;
        bool dithered;
    } cases[] = {
        {{"--bits", "16", "--no-dither"}, lsb16, false},
        {{"--bits", "24"}, 1.0 / 8388608, false},  // no dither above 16 bits
        {{"--bits", "16"}, lsb16, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra[1] + (c.dithered ? " dithered" : ""));
        const auto r = RunHostProcess(Render(dir, "out.wav", kMono, c.extra));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const Audio out = ReadAudio(dir.File("out.wav"));
        ASSERT_EQ(out.samples.size(), input.size());
        double sumError = 0;
        int moved = 0;
        for (std::size_t i = 0; i < input.size(); ++i) {
            const double nearest = std::nearbyint(input[i] / c.step) * c.step;
            if (i % 2 == 0 || !c.dithered) {
                ASSERT_EQ(out.samples[i], nearest) << i;
                continue;
            }
            ASSERT_LT(std::fabs(out.samples[i] - input[i]), 1.5 * c.step) << i;  // dither < 1, rounding <= 1/2
            if (out.samples[i] != nearest) ++moved;
            sumError += out.samples[i] - input[i];
        }
        if (c.dithered) {
            // A third of a step above the grid point k, the sample rounds to
            // k + 1 when the triangular dither d on (-1, 1) is at least 1/6
            // (probability (5/6)^2 / 2 = 0.347) and to k - 1 when d < -5/6
            // (0.014): about 722 of 2000 leave k. Without bias the mean error
            // of 2000 samples (0.5 step each, rms) stays well within 0.05.
            EXPECT_GT(moved, 600);
            EXPECT_LT(moved, 850);
            EXPECT_LT(std::fabs(sumError / 2000), 0.05 * c.step);
        }
    }
}

// Overs in integer output are clipped and reported; float output keeps
// them. Non-finite samples become silence and are counted.
TEST(OutputSamples, ClippingAndNonFiniteSamplesAreReported) {
    ScratchDir dir;
    const double inf = std::numeric_limits<double>::infinity();
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 1), {0.9, -0.9, 0.25, std::nan(""), inf});
    auto r = RunHostProcess(Render(dir, "out.wav", kMono, {"--set", "Gain=2", "--bits", "16"}));
    ASSERT_EQ(r.code, 0) << r.err;
    // 0.9 x 2 = 1.8: 20 log10(1.8) = +5.1 dBFS.
    EXPECT_EQ(r.err,
              "velmor-host: warning: the plug-in produced 2 non-finite samples (NaN or infinity), written as silence\n"
              "velmor-host: clipped 2 samples (peak +5.1 dBFS); use a float output (--float)\n");
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, (std::vector<double>{32767.0 / 32768, -1.0, 0.5, 0.0, 0.0}));

    r = RunHostProcess(Render(dir, "out.wav", kMono, {"--set", "Gain=2"}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("clipped"), std::string::npos) << r.err;
    const Audio out = ReadAudio(dir.File("out.wav"));
    EXPECT_EQ(out.samples,
              (std::vector<double>{static_cast<float>(0.9) * 2.0, static_cast<float>(-0.9) * 2.0, 0.5, 0.0, 0.0}));
}

// The count says how many samples the output could not hold: +1.0 is one
// step above 16-bit's largest value (32767 / 32768), so it is clipped and
// counted, while -1.0 (-32768 / 32768) fits. The hint offers only a fix the
// output type has: FLAC holds no float samples.
TEST(OutputSamples, FullScaleIntoIntegersCountsAsClipped) {
    const struct {
        std::vector<double> input;
        const char* out;
        const char* message;  // the whole of stderr
    } cases[] = {
        {{1.0}, "out.wav", "velmor-host: clipped 1 sample (peak +0.0 dBFS); use a float output (--float)\n"},
        {{-1.0, 0.5}, "out.wav", ""},
#if defined(VELMOR_HOST_HAS_SNDFILE)
        {{0.25, 1.0, 1.0},
         "out.flac",
         "velmor-host: clipped 2 samples (peak +0.0 dBFS); write a float WAV instead (-t wav --float)\n"},
#endif
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 1), c.input);
        const auto r = RunHostProcess(Render(dir, c.out, kMono, {"--bits", "16", "--no-dither"}));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, c.message);
    }
}

// A plug-in that lowers its latency once output has been written (200
// frames, then 50 in its second block): the output is still exactly as
// long as the input, and the change is reported. In blocks of 512, the
// first block writes 512 - 200 = 312 frames.
TEST(Latency, FallingMidRenderKeepsTheInputsLength) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), Ramp(1000, 2));
    const auto r = RunHostProcess(Render(dir, "out.wav", HOST_FALLING_LATENCY_PATH));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples.size(), 2000u);
    EXPECT_NE(r.err.find("changed its latency from 200 to 50 frames after 312 output frames"), std::string::npos)
        << r.err;
}

// A plug-in that announces its delay only in its first block (here longer
// than a block) is compensated all the same: the output lines up with the
// input, frame for frame, at its full length. --no-latency-compensation
// keeps the delay; --verbose says what was done.
TEST(Latency, AnnouncedAfterTheFirstBlockIsStillCompensated) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(1000, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), input);
    for (const char* block : {"1", "64", "512"}) {
        SCOPED_TRACE(block);
        const auto r = RunHostProcess(Render(dir, "out.wav", kLate, {"--block", block, "--verbose"}));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("velmor-host: latency: 100 frames compensated (announced after the first block)\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, input);
    }
    const auto r = RunHostProcess(Render(dir, "out.wav", kLate, {"--no-latency-compensation", "-v"}));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("latency compensation off; the output keeps the plug-in's delay of 100 frames"),
              std::string::npos)
        << r.err;
    std::vector<double> delayed(2 * kLateLatency, 0.0);
    delayed.insert(delayed.end(), input.begin(), input.end() - 2 * kLateLatency);
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, delayed);

    // The stereo plug-in announces its 3 frames at once.
    const auto stereo = RunHostProcess(Render(dir, "out.wav", kStereo, {"-v"}));
    EXPECT_NE(stereo.err.find("latency: 3 frames compensated\n"), std::string::npos) << stereo.err;
}

// A mono file through a stereo plug-in reaches both its inputs: with the
// channels swapped, the left output carries what went into the right input.
TEST(Channels, MonoFileFeedsBothInputsOfAStereoPlugin) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(500, 1);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 1), input);
    for (const bool mix : {false, true}) {
        Args extra = {"--set", "Mode=Swap", "--verbose"};
        if (mix) extra.push_back("--mix-to-mono");
        const auto r = RunHostProcess(Render(dir, "out.wav", kStereo, extra));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find(std::string("mono input fed to both of the plug-in's first two inputs; output: ") +
                             (mix ? "the mean of its first two outputs" : "its first (left) output")),
                  std::string::npos)
            << r.err;
        const Audio out = ReadAudio(dir.File("out.wav"));
        EXPECT_EQ(out.format.channels, 1);
        EXPECT_EQ(out.samples, input);
    }
}

// `info` describes plug-ins with many channels; render maps a file onto
// their first channels, and refuses one with more channels than they have.
TEST(Channels, WidePluginsAreDescribedAndRenderedWhereTheFileFits) {
    const auto info = RunHostProcess({"info", "--plugin", kWide});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("outputs        98\n"), std::string::npos) << info.out;

    ScratchDir dir;
    const std::vector<double> stereo = Ramp(200, 2);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), stereo);
    auto r = RunHostProcess(Render(dir, "out.wav", kWide));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, stereo);

    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 99), Ramp(10, 99));
    ExpectOneLineError(RunHostProcess(Render(dir, "wide.wav", kWide)),
                       "the plug-in has 98 inputs; the file has 99 channels");
    EXPECT_FALSE(fs::exists(dir.File("wide.wav")));
}

// Sample rates no plug-in runs at come from damaged or hand-made headers:
// refused before anything is loaded.
TEST(Input, SampleRatesOutsideEightTo768kHzAreRefused) {
    ScratchDir dir;
    WriteWav(dir.File("base.wav"), Wav(AudioEncoding::kPcm16, 1, 44100), Ramp(64, 1));
    std::string bytes = Contents(dir.File("base.wav"));
    ASSERT_EQ(bytes.substr(48, 4), "fmt ");
    const struct {
        std::uint32_t rate;
        bool accepted;
    } cases[] = {{0, false},     {1, false},      {7999, false},       {8000, true},
                 {768000, true}, {768001, false}, {2000000000u, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        for (int i = 0; i < 4; ++i) bytes[60 + i] = static_cast<char>(c.rate >> (8 * i));
        WriteText(dir.File("in.wav"), bytes);
        const auto r = RunHostProcess(Render(dir, "out.wav", kMono));
        if (c.accepted) {
            EXPECT_EQ(r.code, 0) << r.err;
            EXPECT_EQ(ReadAudio(dir.File("out.wav")).format.sampleRate, static_cast<int>(c.rate));
            fs::remove(dir.File("out.wav"));
            continue;
        }
        ExpectOneLineError(r, c.rate == 0 || c.rate > 10000000 ? "" : "Hz; velmor-host renders from 8000 to 768000 Hz");
        EXPECT_FALSE(fs::exists(dir.File("out.wav")));
    }
}

// An input long enough to pass 4 GiB of output (a sparse file: a header
// and 1.2 billion frames of silence that take no disk space). AIFF cannot
// hold it and is refused before anything is rendered.
TEST(Input, OutputsPastWhatTheirTypeHoldsAreRefusedFirst) {
    ScratchDir dir;
    {
        // An empty RF64 file (a RIFF size limit of 0 forces the switch)...
        std::string error;
        auto writer = OpenWavWriter(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 2), error, 0);
        ASSERT_TRUE(writer && writer->Close(error)) << error;
    }
    std::string header = Contents(dir.File("in.wav"));
    ASSERT_EQ(header.substr(0, 4), "RF64");
    // ...whose ds64 chunk then announces the long data.
    const std::uint64_t frames = 1200000000;  // 4.8 GB of 16-bit stereo
    const std::uint64_t bytes = frames * 4;
    for (int i = 0; i < 8; ++i) {
        header[28 + static_cast<std::size_t>(i)] = static_cast<char>(bytes >> (8 * i));
        header[36 + static_cast<std::size_t>(i)] = static_cast<char>(frames >> (8 * i));
    }
    WriteText(dir.File("in.wav"), header);
    std::error_code ec;
    fs::resize_file(dir.File("in.wav"), header.size() + bytes, ec);
    if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
    AudioFormat aiff = Wav(AudioEncoding::kPcm16, 2);
    aiff.container = AudioContainer::kAiff;
    ExpectOneLineError(RunHostProcess(Render(dir, "out.aiff", kStereo)),
                       CanWrite(aiff) ? "AIFF files end at 4 GiB and this render needs 4577 MiB; use WAV (RF64)"
                                      : "this build cannot write");
    EXPECT_FALSE(fs::exists(dir.File("out.aiff")));
}

TEST(Input, EveryUnusableInputIsNamed) {
    ScratchDir dir;
    fs::create_directories(dir.File("folder.wav"));
    // A data chunk announcing 100 frames with 10 in the file.
    WriteWav(dir.File("full.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(10, 1));
    std::string cut = Contents(dir.File("full.wav"));
    const std::size_t data = cut.find("data");
    ASSERT_NE(data, std::string::npos);
    cut[data + 4] = static_cast<char>(100 * 2);  // the byte 200
    WriteText(dir.File("cut.wav"), cut);
    // The start of a PE image: "MZ", the header offset at 60, "PE\0\0" there.
    std::string pe(128, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[60] = 64;
    pe.replace(64, 4, std::string("PE\0\0", 4));
    WriteText(dir.File("effect.dll"), pe);

    ExpectOneLineError(RunHostProcess({"render", dir.File("folder.wav"), dir.File("out.wav"), "--plugin", kMono}),
                       "folder.wav is a directory, not an audio file");
    ExpectOneLineError(RunHostProcess({"render", dir.File("full.wav"), dir.File("folder.wav"), "--plugin", kMono}),
                       "folder.wav: it is a directory");
#if !defined(_WIN32)
    ExpectOneLineError(RunHostProcess({"info", "--plugin", dir.File("effect.dll")}),
                       "effect.dll: this is a Windows DLL; use the Windows build of velmor-host");
#endif
    const auto r = RunHostProcess({"render", dir.File("cut.wav"), dir.File("out.wav"), "--plugin", kMono});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "velmor-host: warning: input ends after 10 of 100 frames (" + dir.File("cut.wav") +
                         " is cut short); rendered what is there\n");
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, Ramp(10, 1));
}

TEST(CommandLine, VersionAndHelpOfEachCommand) {
    auto r = RunHostProcess({"--version"});
    ASSERT_EQ(r.code, 0) << r.err;
    // "velmor-host MAJOR.MINOR.PATCH".
    const std::string prefix = "velmor-host ";
    ASSERT_EQ(r.out.compare(0, prefix.size(), prefix), 0) << r.out;
    const std::string version = r.out.substr(prefix.size());
    EXPECT_EQ(version.find_first_not_of("0123456789.\n"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << r.out;
    EXPECT_EQ(version.back(), '\n');
    r = RunHostProcess({"--version", "--plugin", kStereo});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(": Test Gain by Host Tests, version 1, vendor version 0, unique id HtGn (0x4874476E)\n"),
              std::string::npos)
        << r.out;
    for (const char* command : {"render", "info", "state"}) {
        r = RunHostProcess({command, "--help"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out.find(std::string("usage: velmor-host ") + command), 0u) << r.out;
    }
    ExpectOneLineError(RunHostProcess({"info", "-q"}), "unknown option -q for info");
}

// Columns of a line on a terminal: one per UTF-8 code point.
std::size_t Columns(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// info's parameter table stays aligned when a unit has more bytes than
// columns ("°C"): every row's value starts in the heading's column.
TEST(Info, ColumnsStayAlignedWithNonAsciiUnits) {
    const auto r = RunHostProcess({"info", "--plugin", HOST_TWIN_NAMES_PATH});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream text(r.out.substr(r.out.find("\n#") + 1));
    std::string heading;
    std::getline(text, heading);
    const std::size_t column = Columns(heading.substr(0, heading.find("default")));
    int rows = 0;
    for (std::string row; std::getline(text, row); ++rows) {
        const std::size_t value = row.find(rows == 1 ? "0.0000" : "0.5000");
        ASSERT_NE(value, std::string::npos) << row;
        EXPECT_EQ(Columns(row.substr(0, value)), column) << row;
    }
    EXPECT_EQ(rows, 3);
}

// Messages of one line that name the file and the reason, and what
// --verbose says about channels the file does not fill.
TEST(Messages, NameTheFileAndTheReason) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, 2), Ramp(300, 2));
    fs::create_directories(dir.File("states"));
    WriteText(dir.File("notes.so"), "not a library");
    const std::string notes = dir.File("notes.so");
    auto r = RunHostProcess(Render(dir, "out.wav", kStereo, {"--state", dir.File("states")}));
    ExpectOneLineError(r, "cannot read " + dir.File("states") + ": it is a directory");
    r = RunHostProcess({"info", "--plugin", notes});
    ExpectOneLineError(r, "cannot load " + notes);
    EXPECT_EQ(r.err.find(notes), r.err.rfind(notes)) << "named twice: " << r.err;
    // Formats this build does not host yet are named, not misread as VST 2.4;
    // a VST 3 bundle without a binary for this platform is named as such.
    fs::create_directories(dir.File("Other.vst3/Contents"));
    WriteText(dir.File("other.clap"), "not a library");
    ExpectOneLineError(RunHostProcess({"info", "--plugin", dir.File("Other.vst3")}),
                       "cannot load " + dir.File("Other.vst3") + ": the bundle has no binary for this platform");
    // A CLAP file is loaded as one, never misread as VST 2.4.
    r = RunHostProcess({"info", "--plugin", dir.File("other.clap")});
    ExpectOneLineError(r, "cannot load " + dir.File("other.clap") + ": ");
    EXPECT_EQ(r.err.find(dir.File("other.clap")), r.err.rfind(dir.File("other.clap"))) << "named twice: " << r.err;
    ExpectOneLineError(RunHostProcess({"info", "--plugin", dir.File("states")}),
                       "it is a folder, not a plug-in bundle");
    r = RunHostProcess({"render", "-", dir.File("out.wav"), "--plugin", kStereo, "--state", "-"});
    ExpectOneLineError(r, "standard input (\"-\") can be read only once");

#if !defined(_WIN32)
    // --state - reads the state from standard input.
    r = RunHostProcess({"state", "save", "-", "--plugin", kStereo, "--set", "Gain=0.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = RunHostProcess({"info", "--plugin", kStereo, "--state", "-"}, r.out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("0.2500   0.500\n"), std::string::npos) << r.out;
#endif

    // The wide plug-in's other 96 inputs get silence and its other 96
    // outputs are dropped; with no gain its output is silent, and a
    // plug-in that needed those inputs would sound so too: that is said
    // without --verbose.
    r = RunHostProcess(Render(dir, "out.wav", kWide, {"-v", "--set", "Gain=0"}));
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line : {"velmor-host: the plug-in's inputs 3 to 98 are fed silence\n",
                             "velmor-host: the plug-in's outputs 3 to 98 are dropped\n",
                             "velmor-host: warning: the output is silent; the plug-in may need its other 96 inputs"})
        EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
    r = RunHostProcess(Render(dir, "out.wav", kWide));
    EXPECT_EQ(r.err, "");
}

#if !defined(_WIN32)
// "-" is standard input as well as output; a plug-in named without a folder
// is a file in the current one, not a name for the loader's search path.
TEST(Process, StandardStreamsAndBarePluginNames) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(300, 1);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), input);
    auto r = RunHostProcess({"render", "-", dir.File("out.wav"), "--plugin", kMono}, Contents(dir.File("in.wav")));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAudio(dir.File("out.wav")).samples, input);

    r = RunHostProcess({"render", dir.File("in.wav"), "-", "--plugin", kMono});
    ASSERT_EQ(r.code, 0) << r.err;
    WriteText(dir.File("piped.wav"), r.out);
    EXPECT_EQ(ReadAudio(dir.File("piped.wav")).samples, input);

    fs::copy_file(kMono, dir.File("gain.so"));
    r = RunHostProcess({"render", "in.wav", "bare.wav", "--plugin", "gain.so"}, "", dir.File(""));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadAudio(dir.File("bare.wav")).samples, input);
    // A name the loader would find on its own path is still looked for here.
    ExpectOneLineError(RunHostProcess({"info", "--plugin", "libc.so.6"}, "", dir.File("")), "cannot load ./libc.so.6");
}
#endif

}  // namespace
