// Formats that only the libsndfile build handles: AIFF and FLAC in and
// out, the encoding kept or mapped to what the container can hold, and
// overs clipped rather than wrapped in integer output.
#include <gtest/gtest.h>

#include "tests/host/host_test_support.h"

namespace {

using host_test::Ramp;
using host_test::ReadAudio;
using host_test::RunCli;
using host_test::ScratchDir;

void WriteAudio(const std::string& path, AudioContainer container, AudioEncoding encoding, int channels,
                const std::vector<double>& samples) {
    AudioFormat format = host_test::Wav(encoding, channels);
    format.container = container;
    std::string error;
    auto writer = OpenAudioWriter(path, format, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(writer->Write(samples.data(), static_cast<std::int64_t>(samples.size()) / channels, error));
    ASSERT_TRUE(writer->Close(error)) << error;
}

TEST(SndfileFormats, OutputKeepsTheInputsFormatWhereTheContainerAllows) {
    const struct {
        const char* in;
        AudioContainer inContainer;
        AudioEncoding inEncoding;
        const char* out;
        AudioContainer outContainer;
        AudioEncoding outEncoding;
    } cases[] = {
        {"a.flac", AudioContainer::kFlac, AudioEncoding::kPcm16, "b.flac", AudioContainer::kFlac,
         AudioEncoding::kPcm16},
        {"a.aiff", AudioContainer::kAiff, AudioEncoding::kPcm24, "b.wav", AudioContainer::kWav, AudioEncoding::kPcm24},
        {"a.wav", AudioContainer::kWav, AudioEncoding::kFloat32, "b.flac", AudioContainer::kFlac,
         AudioEncoding::kPcm24},  // FLAC holds no float: the closest it has
        {"a.wav", AudioContainer::kWav, AudioEncoding::kPcm32, "b.aif", AudioContainer::kAiff, AudioEncoding::kPcm32},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        const std::vector<double> input = Ramp(500, 2);
        WriteAudio(dir.File(c.in), c.inContainer, c.inEncoding, 2, input);
        const auto r = RunCli({"render", dir.File(c.in), dir.File(c.out), "--plugin", HOST_GAIN_STEREO_PATH});
        ASSERT_EQ(r.code, 0) << r.err;
        const host_test::Audio out = ReadAudio(dir.File(c.out));
        EXPECT_EQ(out.format.container, c.outContainer) << c.out;
        EXPECT_EQ(out.format.encoding, c.outEncoding) << c.out;
        EXPECT_EQ(out.format.sampleRate, 44100);
        EXPECT_EQ(out.samples, input) << c.in << " -> " << c.out;  // unity gain, values on the 16-bit grid
    }
}

TEST(SndfileFormats, IntegerOutputClipsOvers) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("in.wav"), host_test::Wav(AudioEncoding::kFloat32, 1), {0.9, -0.9, 0.25});
    const auto r = RunCli(
        {"render", dir.File("in.wav"), dir.File("out.flac"), "--plugin", HOST_GAIN_MONO_PATH, "--set", "Gain=2"});
    ASSERT_EQ(r.code, 0) << r.err;
    const host_test::Audio out = ReadAudio(dir.File("out.flac"));
    // 24-bit full scale is 1 - 2^-23 upwards and -1 downwards.
    EXPECT_EQ(out.samples, (std::vector<double>{1.0 - 1.0 / 8388608, -1.0, 0.5}));
}

}  // namespace
