// State files: what `state save` writes is loaded back into the same
// plug-in only, whole, whether the plug-in keeps its state as a chunk or as
// parameter values; anything else is refused with one line and changes
// nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "tests/host/host_test_support.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/state_file.h"
#include "vst/vst2_abi.h"

namespace {

using host_test::ExpectOneLineError;
using host_test::Ramp;
using host_test::ReadAudio;
using host_test::RunCli;
using host_test::ScratchDir;
using host_test::Wav;
using host_test::WriteWav;
using Bytes = std::vector<std::uint8_t>;

const std::string kStereo = HOST_GAIN_STEREO_PATH;
const std::string kMono = HOST_GAIN_MONO_PATH;
const VstInt32 kMonoId = VstFourCC('H', 't', 'G', 'm');

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::string error;
    ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size(), error)) << error;
}

Bytes ReadBytes(const std::string& path) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, 1 << 20, bytes, error)) << error;
    return bytes;
}

// Renders `input` through `plugin` with `extra` arguments; the output
// divided by the input, sample by sample, must be `factor`.
void ExpectGain(const std::string& plugin, int channels, const std::vector<std::string>& extra, double factor) {
    ScratchDir dir;
    const std::vector<double> input = Ramp(100, channels);
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kFloat32, channels), input);
    std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", plugin};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = RunCli(args);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto out = ReadAudio(dir.File("out.wav"));
    ASSERT_EQ(out.samples.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i) ASSERT_EQ(out.samples[i], factor * input[i]) << i;
}

// The header names the plug-in and what follows; a plug-in without program
// chunks (the mono one) is saved as its parameters' values.
TEST(StateFile, SavesChunksOrParameterValuesBehindAHeaderNamingThePlugin) {
    ScratchDir dir;
    const struct {
        std::string plugin;
        int channels;
        StateKind kind;
        std::size_t payload;
    } cases[] = {{kStereo, 2, StateKind::kProgramChunk, 16}, {kMono, 1, StateKind::kParameters, 3 * 4}};
    for (const auto& c : cases) {
        const std::string file = dir.File("s.state");
        const auto r =
            RunCli({"state", "save", file, "--plugin", c.plugin, "--set", "Gain=0.5", "--set", "Mode=Invert"});
        ASSERT_EQ(r.code, 0) << r.err;
        const Bytes bytes = ReadBytes(file);
        PluginState state;
        std::string error;
        ASSERT_TRUE(DecodeState(bytes, file, state, error)) << error;
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12),
                  (Bytes{'V', 'M', 'H', 'S', 'T', 'A', 'T', 'E', 1, 0, 0, 0}));
        EXPECT_EQ(state.pluginId, c.channels == 2 ? VstFourCC('H', 't', 'G', 'n') : kMonoId);
        EXPECT_EQ(state.pluginVersion, 1);
        EXPECT_EQ(state.kind, c.kind);
        EXPECT_EQ(state.payload.size(), c.payload);
        if (c.kind == StateKind::kParameters) {
            EXPECT_EQ(DecodeParameterValues(state.payload),
                      (std::vector<float>{0.25f, 0.5f, 0.5f}));  // Invert: the middle of its third
        }
        ExpectGain(c.plugin, c.channels, {"--state", file}, -0.5);
    }
}

// A bare chunk (the state files written before the header) still loads when
// the user says so with --chunk, and converts into a state file.
TEST(StateFile, BareChunksLoadOnlyWhenAskedForAndConvert) {
    ScratchDir dir;
    // The test plug-in's chunk: its magic, then its three values as
    // little-endian floats (Gain 0.25, Invert, Trim 0 dB).
    Bytes chunk = {'H', 'G', 'S', 'T'};
    const Bytes values = EncodeParameterValues({0.125f, 1.0f / 3.0f, 0.5f});
    chunk.insert(chunk.end(), values.begin(), values.end());
    WriteBytes(dir.File("old.bin"), chunk);
    ExpectGain(kStereo, 2, {"--chunk", dir.File("old.bin")}, -0.25);
    const auto r =
        RunCli({"state", "save", dir.File("new.state"), "--plugin", kStereo, "--chunk", dir.File("old.bin")});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectGain(kStereo, 2, {"--state", dir.File("new.state")}, -0.25);
}

TEST(StateFile, RefusesWhatIsNotThisPluginsWholeState) {
    ScratchDir dir;
    ASSERT_EQ(RunCli({"state", "save", dir.File("stereo.state"), "--plugin", kStereo}).code, 0);
    const Bytes good = ReadBytes(dir.File("stereo.state"));
    WriteWav(dir.File("audio.wav"), Wav(AudioEncoding::kPcm16, 2), Ramp(100, 2));
    Bytes random;
    for (int i = 0; i < 64; ++i) random.push_back(static_cast<std::uint8_t>(i * 97 + 13));
    WriteBytes(dir.File("random.bin"), random);
    WriteBytes(dir.File("short.state"), Bytes(good.begin(), good.end() - 1));
    WriteBytes(dir.File("header.state"), Bytes(good.begin(), good.begin() + 20));
    Bytes longer = good;
    longer.push_back(0);
    WriteBytes(dir.File("long.state"), longer);
    Bytes newer = good;
    newer[8] = 3;
    WriteBytes(dir.File("newer.state"), newer);
    auto parameters = [&](const std::vector<float>& values, StateKind kind) {
        PluginState s;
        s.pluginId = kMonoId;
        s.kind = kind;
        s.payload = EncodeParameterValues(values);
        return EncodeState(s);
    };
    WriteBytes(dir.File("two.state"), parameters({0.5f, 0.5f}, StateKind::kParameters));
    WriteBytes(dir.File("nan.state"),
               parameters({0.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f}, StateKind::kParameters));
    WriteBytes(dir.File("over.state"), parameters({0.5f, 1.5f, 0.5f}, StateKind::kParameters));
    WriteBytes(dir.File("chunk-for-mono.state"), parameters({0.5f, 0.5f, 0.5f}, StateKind::kProgramChunk));

    const struct {
        std::string plugin;
        std::string file;
        const char* message;
    } cases[] = {
        {kMono, "stereo.state", "holds the state of plug-in HtGn (0x4874476E), not of this one, HtGm (0x4874476D)"},
        {kStereo, "audio.wav", "is not a velmor-host state file"},
        {kStereo, "random.bin", "--chunk"},
        {kStereo, "short.state", "is truncated (15 of 16 state bytes)"},
        {kStereo, "header.state", "is truncated (20 of 32 header bytes)"},
        {kStereo, "long.state", "1 unexpected bytes after its state"},
        {kStereo, "newer.state", "has state format 3"},
        {kMono, "two.state", "holds 2 parameter values; the plug-in has 3 parameters"},
        {kMono, "nan.state", "invalid value for parameter 1"},
        {kMono, "over.state", "invalid value for parameter 1"},
        {kMono, "chunk-for-mono.state", "takes its state as parameter values"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ExpectOneLineError(
            RunCli({"state", "save", dir.File("out.state"), "--plugin", c.plugin, "--state", dir.File(c.file)}),
            c.message);
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.state")));
    }
}

}  // namespace
