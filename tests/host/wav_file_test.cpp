// The built-in WAV reader and writer: exact round trips of every encoding,
// the byte layout other programs read, and hostile or truncated files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tests/host/host_test_support.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/sample_codec.h"
#include "tools/velmor-host/wav_file.h"

namespace {

using host_test::ScratchDir;
using host_test::Wav;
using Bytes = std::vector<std::uint8_t>;

void Append16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Append32(Bytes& b, std::uint32_t v) {
    Append16(b, v & 0xFFFF);
    Append16(b, v >> 16);
}
Bytes Chunk(const char* id, const Bytes& body, std::uint32_t declaredSize) {
    Bytes b(id, id + 4);
    Append32(b, declaredSize);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
Bytes Chunk(const char* id, const Bytes& body) { return Chunk(id, body, static_cast<std::uint32_t>(body.size())); }
Bytes Fmt(std::uint32_t tag, std::uint32_t channels, std::uint32_t rate, std::uint32_t bits, std::uint32_t align) {
    Bytes b;
    Append16(b, tag);
    Append16(b, channels);
    Append32(b, rate);
    Append32(b, rate * align);
    Append16(b, align);
    Append16(b, bits);
    return b;
}
Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}
// The 28 bytes the writer keeps free before fmt for an RF64 ds64 chunk.
Bytes Reserved() { return Chunk("JUNK", Bytes(28, 0)); }
Bytes ReadBytes(const std::string& path) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, 1 << 20, bytes, error)) << error;
    return bytes;
}
void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::string error;
    ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size(), error)) << error;
}

struct CodecCase {
    AudioEncoding encoding;
    double step;  // one unit of the last place: 2^-(bits-1) for integers
};

class WavRoundTrip : public ::testing::TestWithParam<CodecCase> {};

// Every value on the format's grid, full scale included, comes back
// exactly, in mono and stereo.
TEST_P(WavRoundTrip, GridValuesSurviveExactly) {
    const CodecCase c = GetParam();
    const bool isFloat = c.encoding == AudioEncoding::kFloat32 || c.encoding == AudioEncoding::kFloat64;
    std::vector<double> values = {-1.0, -0.5, -c.step, 0.0, c.step, 0.25, 0.5, 1.0 - c.step};
    if (isFloat) values.insert(values.end(), {1.0, 1.5, -3.25});  // floats keep overs
    if (c.encoding == AudioEncoding::kFloat64) values.push_back(0.1);
    for (int channels : {1, 2}) {
        ScratchDir dir;
        std::vector<double> samples;
        for (double v : values)
            for (int ch = 0; ch < channels; ++ch) samples.push_back(ch ? -v : v);
        host_test::WriteWav(dir.File("t.wav"), Wav(c.encoding, channels, 48000), samples);

        std::string error;
        auto reader = OpenWavReader(dir.File("t.wav"), error);
        ASSERT_TRUE(reader) << error;
        EXPECT_EQ(reader->Format().encoding, c.encoding);
        EXPECT_EQ(reader->Format().channels, channels);
        EXPECT_EQ(reader->Format().sampleRate, 48000);
        ASSERT_EQ(reader->Format().frames, static_cast<std::int64_t>(values.size()));
        std::vector<double> back(samples.size() + 8);
        ASSERT_EQ(reader->Read(back.data(), 1000, error), static_cast<std::int64_t>(values.size()));
        back.resize(samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (!isFloat && samples[i] == 1.0) continue;  // -(-1.0) clips to 1 - step, checked below
            EXPECT_EQ(back[i], samples[i]) << "sample " << i;
        }
        EXPECT_EQ(reader->Read(back.data(), 10, error), 0);
    }
}

// Integer formats clip overs to their range and store NaN as silence.
TEST_P(WavRoundTrip, IntegerFormatsClipAndSilenceNaN) {
    const CodecCase c = GetParam();
    if (c.encoding == AudioEncoding::kFloat32 || c.encoding == AudioEncoding::kFloat64) return;
    const double in[] = {1.5, -7.0, 1.0, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()};
    const double expected[] = {1.0 - c.step, -1.0, 1.0 - c.step, 0.0, 1.0 - c.step};
    Bytes bytes(5 * 8);
    EncodeSamples(c.encoding, in, 5, bytes.data());
    double out[5];
    DecodeSamples(c.encoding, bytes.data(), 5, out);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], expected[i]) << "value " << i;
}

INSTANTIATE_TEST_SUITE_P(Encodings, WavRoundTrip,
                         ::testing::Values(CodecCase{AudioEncoding::kPcm8, 1.0 / 128},
                                           CodecCase{AudioEncoding::kPcm16, 1.0 / 32768},
                                           CodecCase{AudioEncoding::kPcm24, 1.0 / 8388608},
                                           CodecCase{AudioEncoding::kPcm32, 1.0 / 2147483648.0},
                                           CodecCase{AudioEncoding::kFloat32, 1.0 / 16777216},
                                           CodecCase{AudioEncoding::kFloat64, 1.0 / 16777216}));

// The bytes other programs read, worked out by hand from the RIFF layout.
TEST(WavWriter, WritesTheCanonicalPcmAndFloatLayouts) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("pcm.wav"), Wav(AudioEncoding::kPcm16, 2, 44100), {0.5, -1.0});
    const Bytes pcm = ReadBytes(dir.File("pcm.wav"));
    Bytes expected =
        Riff({Reserved(), Chunk("fmt ", Fmt(1, 2, 44100, 16, 4)), Chunk("data", {0x00, 0x40, 0x00, 0x80})});
    EXPECT_EQ(pcm, expected);

    host_test::WriteWav(dir.File("f.wav"), Wav(AudioEncoding::kFloat32, 1, 8000), {0.5, 0.25, 1.0});
    Bytes fmt = Fmt(3, 1, 8000, 32, 4);
    Append16(fmt, 0);  // cbSize
    Bytes fact;
    Append32(fact, 3);  // frames
    // 0.5f = 0x3F000000, 0.25f = 0x3E800000, 1.0f = 0x3F800000, little-endian.
    expected = Riff({Reserved(), Chunk("fmt ", fmt), Chunk("fact", fact),
                     Chunk("data", {0, 0, 0, 0x3F, 0, 0, 0x80, 0x3E, 0, 0, 0x80, 0x3F})});
    EXPECT_EQ(ReadBytes(dir.File("f.wav")), expected);

    // Odd data (three 8-bit frames) is padded to an even chunk size.
    host_test::WriteWav(dir.File("u8.wav"), Wav(AudioEncoding::kPcm8, 1, 8000), {0.0, 0.5, -1.0});
    const Bytes u8 = ReadBytes(dir.File("u8.wav"));
    expected = Chunk("RIFF", {}, 4 + 36 + 24 + 8 + 3 + 1);
    expected.insert(expected.end(), {'W', 'A', 'V', 'E'});
    const Bytes junk = Reserved();
    expected.insert(expected.end(), junk.begin(), junk.end());
    const Bytes tail = Chunk("fmt ", Fmt(1, 1, 8000, 8, 1));
    expected.insert(expected.end(), tail.begin(), tail.end());
    const Bytes data = Chunk("data", {128, 192, 0}, 3);
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back(0);
    EXPECT_EQ(u8, expected);
}

// Past the RIFF size limit (4 GiB, made small here) the file becomes RF64:
// the reserved chunk turns into ds64 with the 64-bit sizes, the 32-bit
// fields read 0xFFFFFFFF, and the audio stays where it was. Under the limit
// it stays plain RIFF. Both read back whole.
TEST(WavWriter, SwitchesToRf64PastTheRiffLimit) {
    for (const bool over : {false, true}) {
        SCOPED_TRACE(over ? "over the limit" : "under it");
        ScratchDir dir;
        const std::vector<double> samples = host_test::Ramp(3000, 2);  // 12000 bytes of 16-bit data
        const std::uint64_t limit = over ? 12000 : 12100;
        std::string error;
        auto writer = OpenWavWriter(dir.File("x.wav"), Wav(AudioEncoding::kPcm16, 2), error, limit);
        ASSERT_TRUE(writer) << error;
        ASSERT_TRUE(writer->Write(samples.data(), 3000, error)) << error;
        ASSERT_TRUE(writer->Close(error)) << error;

        const Bytes bytes = ReadBytes(dir.File("x.wav"));
        ASSERT_EQ(bytes.size(), 80u + 12000);
        Bytes head;
        if (over) {
            head = {'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'd', 's', '6', '4', 28, 0, 0, 0};
            for (const std::uint32_t v : {12072u, 0u, 12000u, 0u, 3000u, 0u, 0u}) Append32(head, v);
        } else {
            head = Chunk("RIFF", {'W', 'A', 'V', 'E'}, 12072);
            const Bytes junk = Reserved();
            head.insert(head.end(), junk.begin(), junk.end());
        }
        const Bytes fmt = Chunk("fmt ", Fmt(1, 2, 44100, 16, 4));
        head.insert(head.end(), fmt.begin(), fmt.end());
        const Bytes data = Chunk("data", {}, over ? 0xFFFFFFFFu : 12000u);
        head.insert(head.end(), data.begin(), data.end());
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 80), head);

        // The build's reader (libsndfile where present) and the built-in one.
        EXPECT_EQ(host_test::ReadAudio(dir.File("x.wav")).samples, samples);
        auto reader = OpenWavReader(dir.File("x.wav"), error);
        ASSERT_TRUE(reader) << error;
        std::vector<double> back(samples.size() + 2);
        EXPECT_EQ(reader->Read(back.data(), 3001, error), 3000);
        back.resize(samples.size());
        EXPECT_EQ(back, samples);
    }
}

TEST(WavReader, ReadsExtensibleFormatAndSkipsUnknownChunks) {
    ScratchDir dir;
    Bytes fmt = Fmt(0xFFFE, 1, 96000, 24, 3);
    Append16(fmt, 22);   // cbSize
    Append16(fmt, 24);   // valid bits
    Append32(fmt, 0x4);  // channel mask
    Append16(fmt, 1);    // PCM subtype...
    const Bytes guidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fmt.insert(fmt.end(), guidTail.begin(), guidTail.end());
    // 24-bit 0x400000 = 0.5 and 0xC00000 = -0.5; an odd-sized chunk before fmt
    // is padded by one byte.
    Bytes junk = Chunk("JUNK", {1, 2, 3});
    junk.push_back(0);
    WriteBytes(dir.File("x.wav"), Riff({junk, Chunk("fmt ", fmt), Chunk("data", {0, 0, 0x40, 0, 0, 0xC0})}));
    std::string error;
    auto reader = OpenWavReader(dir.File("x.wav"), error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->Format().encoding, AudioEncoding::kPcm24);
    EXPECT_EQ(reader->Format().sampleRate, 96000);
    double out[2] = {};
    ASSERT_EQ(reader->Read(out, 2, error), 2);
    EXPECT_EQ(out[0], 0.5);
    EXPECT_EQ(out[1], -0.5);
}

// A data chunk that claims more than the file holds is a recording cut
// short: the whole frames present are read, no more.
TEST(WavReader, DataLongerThanTheFileKeepsTheWholeFramesPresent) {
    ScratchDir dir;
    const Bytes data = Chunk("data", {0, 0x40, 0, 0xC0, 0x11}, 0xFFFFFFF0u);  // 2 frames and a stray byte
    WriteBytes(dir.File("cut.wav"), Riff({Chunk("fmt ", Fmt(1, 1, 44100, 16, 2)), data}));
    std::string error;
    auto reader = OpenWavReader(dir.File("cut.wav"), error);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->Format().frames, 2);
    double out[4] = {};
    EXPECT_EQ(reader->Read(out, 4, error), 2);
    EXPECT_EQ(out[0], 0.5);
    EXPECT_EQ(out[1], -0.5);
}

struct HostileCase {
    const char* what;
    Bytes bytes;
    const char* message;
};

TEST(WavReader, RejectsHostileHeadersWithAClearError) {
    const Bytes pcm16 = Chunk("fmt ", Fmt(1, 2, 44100, 16, 4));
    const Bytes data = Chunk("data", {0, 0, 0, 0});
    const Bytes badGuid = [] {
        Bytes fmt = Fmt(0xFFFE, 1, 44100, 16, 2);
        Append16(fmt, 22);
        Append16(fmt, 16);
        Append32(fmt, 0);
        fmt.resize(40, 0xEE);
        return Chunk("fmt ", fmt);
    }();
    const HostileCase cases[] = {
        {"empty file", {}, "not a WAV file"},
        {"RIFF without WAVE", Chunk("RIFF", {'A', 'V', 'I', ' '}), "not a WAV file"},
        {"AIFF header", Chunk("FORM", {'A', 'I', 'F', 'F'}), "not a WAV file"},
        {"no chunks", Riff({}), "no fmt chunk"},
        {"fmt past the end", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16, 4), 100)}), "fmt chunk"},
        {"fmt too short", Riff({Chunk("fmt ", Bytes(12, 0)), data}), "fmt chunk"},
        {"no channels", Riff({Chunk("fmt ", Fmt(1, 0, 44100, 16, 0)), data}), "channel count"},
        {"zero rate", Riff({Chunk("fmt ", Fmt(1, 2, 0, 16, 4)), data}), "sample rate"},
        {"absurd rate", Riff({Chunk("fmt ", Fmt(1, 2, 0xFFFFFFFF, 16, 4)), data}), "sample rate"},
        {"ADPCM", Riff({Chunk("fmt ", Fmt(2, 2, 44100, 4, 4)), data}), "unsupported WAV encoding"},
        {"12-bit PCM", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 12, 4)), data}), "unsupported WAV encoding"},
        {"16-bit float", Riff({Chunk("fmt ", Fmt(3, 1, 44100, 16, 2)), data}), "unsupported WAV encoding"},
        {"block align lies", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16, 3)), data}), "block alignment"},
        {"zero block align", Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16, 0)), data}), "block alignment"},
        {"unknown extensible subtype", Riff({badGuid, data}), "EXTENSIBLE"},
        {"no data", Riff({pcm16}), "no data chunk"},
        {"huge junk chunk hides fmt", Riff({Chunk("JUNK", {}, 0xFFFFFFFF), pcm16, data}), "no fmt chunk"},
    };
    ScratchDir dir;
    for (const HostileCase& c : cases) {
        WriteBytes(dir.File("h.wav"), c.bytes);
        std::string error;
        EXPECT_FALSE(OpenWavReader(dir.File("h.wav"), error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(OpenWavReader(dir.File("missing.wav"), error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

// Every truncation of a valid file either fails with a message or reads no
// more frames than the bytes hold (run under AddressSanitizer too).
TEST(WavReader, EveryTruncationFailsCleanlyOrReadsWhatIsThere) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("full.wav"), Wav(AudioEncoding::kPcm24, 2), host_test::Ramp(10, 2));
    const Bytes full = ReadBytes(dir.File("full.wav"));
    for (std::size_t length = 0; length <= full.size(); ++length) {
        WriteBytes(dir.File("t.wav"), Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length)));
        std::string error;
        auto reader = OpenWavReader(dir.File("t.wav"), error);
        if (!reader) {
            EXPECT_FALSE(error.empty()) << length;
            continue;
        }
        const std::int64_t available = (static_cast<std::int64_t>(length) - 80) / 6;  // 80-byte header
        EXPECT_EQ(reader->Format().frames, available) << length;
        std::vector<double> out(64);
        EXPECT_EQ(reader->Read(out.data(), 10, error), available) << length;
    }
}

TEST(WavWriter, RefusesOtherContainersAndBadFormats) {
    ScratchDir dir;
    std::string error;
    AudioFormat aiff = Wav(AudioEncoding::kPcm16, 2);
    aiff.container = AudioContainer::kAiff;
    EXPECT_FALSE(OpenWavWriter(dir.File("a.aiff"), aiff, error));
    EXPECT_NE(error.find("only WAV"), std::string::npos) << error;
    EXPECT_FALSE(OpenWavWriter(dir.File("b.wav"), Wav(AudioEncoding::kPcm16, 0), error));
    EXPECT_FALSE(OpenWavWriter(dir.File("no/such/dir/c.wav"), Wav(AudioEncoding::kPcm16, 1), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

}  // namespace
