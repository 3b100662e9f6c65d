// A render keeps what its input says besides the samples where the output
// type can hold it, and --verbose says what was kept and dropped.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/host/host_test_support.h"
#include "tools/velmor-host/audio_metadata.h"

namespace {

using host_test::Ramp;
using host_test::RunHostProcess;
using host_test::ScratchDir;
using Bytes = std::vector<std::uint8_t>;
using Chunks = std::vector<std::pair<std::string, Bytes>>;

const std::string kMono = HOST_GAIN_MONO_PATH;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const std::string& s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutText(Bytes& out, const char* text, std::size_t size) { out.insert(out.end(), text, text + size); }

// The chunks of a RIFF file other than fmt, fact, JUNK and data, walked
// here without the host's reader.
Chunks ChunksOf(const std::string& file) {
    Chunks chunks;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::string id = file.substr(at, 4);
        const std::uint32_t size = Le32(file, at + 4);
        if (id != "fmt " && id != "fact" && id != "JUNK" && id != "data")
            chunks.emplace_back(id, Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + size)));
        at += 8 + size + (size & 1);
    }
    return chunks;
}

// A broadcast take: bext with a time reference of 172800 samples (3.6 s at
// 48 kHz), a title and an artist, a marker "verse" at frame 1000, iXML.
Chunks TakeChunks() {
    Bytes bext(602, 0);
    const std::uint64_t reference = 172800;
    for (int i = 0; i < 8; ++i) bext[338 + i] = static_cast<std::uint8_t>(reference >> (8 * i));
    Bytes info;
    PutText(info, "INFOINAM", 8);
    Put32(info, 7);
    PutText(info, "Take 3\0\0", 8);  // 7 bytes, padded to 8
    PutText(info, "IART", 4);
    Put32(info, 4);
    PutText(info, "Ana\0", 4);
    Bytes cue;
    Put32(cue, 1);
    Put32(cue, 7);  // id
    Put32(cue, 1000);
    PutText(cue, "data", 4);
    Put32(cue, 0);
    Put32(cue, 0);
    Put32(cue, 1000);
    Bytes adtl;
    PutText(adtl, "adtllabl", 8);
    Put32(adtl, 10);
    Put32(adtl, 7);
    PutText(adtl, "verse\0", 6);
    const std::string xml = "<BWFXML><PROJECT>velmor</PROJECT></BWFXML>";
    return {{"bext", bext}, {"LIST", info}, {"cue ", cue}, {"LIST", adtl}, {"iXML", Bytes(xml.begin(), xml.end())}};
}

class Metadata : public ::testing::Test {
protected:
    void SetUp() override {
        AudioMetadata take;
        take.wavChunks = TakeChunks();
        std::string error;
        AudioDestination destination;
        destination.path = destination.name = mDir.File("take.wav");
        auto writer =
            OpenWavWriter(destination, host_test::Wav(AudioEncoding::kPcm16, 1, 48000), error, kRiffSizeLimit, &take);
        ASSERT_TRUE(writer) << error;
        const std::vector<double> ramp = Ramp(2000, 1);
        ASSERT_TRUE(writer->Write(ramp.data(), 2000, error) && writer->Close(error)) << error;
        ASSERT_EQ(ChunksOf(Contents(mDir.File("take.wav"))), TakeChunks());
    }
    host_test::RunResult Render(const std::string& in, const std::string& out) {
        return RunHostProcess({"render", mDir.File(in), mDir.File(out), "--plugin", kMono, "-v"});
    }
    static void ExpectNote(const host_test::RunResult& r, const std::string& line) {
        EXPECT_NE(r.err.find("velmor-host: " + line + "\n"), std::string::npos) << r.err;
    }
    ScratchDir mDir;
};

TEST_F(Metadata, WavKeepsEveryChunkAsItWas) {
    const auto r = Render("take.wav", "out.wav");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ChunksOf(Contents(mDir.File("out.wav"))), TakeChunks());
    ExpectNote(r, "metadata kept: bext (time reference 172800), LIST INFO, cue points, LIST adtl, iXML");
    EXPECT_EQ(host_test::ReadAudio(mDir.File("out.wav")).samples, Ramp(2000, 1));
}

// Between types: texts and markers travel where the type has room for them
// (AIFF: names and markers; FLAC: texts only), and back into WAV's chunks.
TEST_F(Metadata, OtherTypesKeepWhatTheyCanHold) {
    auto r = Render("take.wav", "out.aiff");
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectNote(r, "metadata kept: title, artist, 1 marker");
    ExpectNote(r, "metadata dropped (AIFF cannot hold it): bext (time reference 172800), iXML");
    std::string error;
    auto aiff = OpenAudioReader(mDir.File("out.aiff"), error);
    ASSERT_TRUE(aiff) << error;
    const AudioMetadata& m = aiff->Metadata();
    EXPECT_EQ(m.texts, (std::vector<std::pair<MetadataText, std::string>>{{MetadataText::kTitle, "Take 3"},
                                                                          {MetadataText::kArtist, "Ana"}}));
    ASSERT_EQ(m.cues.size(), 1u);
    EXPECT_EQ(m.cues[0].frame, 1000);
    EXPECT_EQ(m.cues[0].name, "verse");

    r = Render("out.aiff", "back.wav");
    ASSERT_EQ(r.code, 0) << r.err;
    const Chunks back = ChunksOf(Contents(mDir.File("back.wav")));
    std::string joined;
    for (const auto& [id, body] : back) joined += id + std::string(body.begin(), body.end());
    for (const std::string& part : {std::string("INAM\x07\0\0\0Take 3", 14), std::string("IART\x04\0\0\0Ana", 11),
                                    std::string("labl"), std::string("verse")})
        EXPECT_NE(joined.find(part), std::string::npos) << part;
    auto wav = OpenAudioReader(mDir.File("back.wav"), error);
    ASSERT_TRUE(wav) << error;
    ASSERT_EQ(wav->Metadata().cues.size(), 1u);
    EXPECT_EQ(wav->Metadata().cues[0].frame, 1000);
    EXPECT_EQ(wav->Metadata().cues[0].name, "verse");

    r = Render("take.wav", "out.flac");
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectNote(r, "metadata kept: title, artist");
    ExpectNote(r, "metadata dropped (FLAC cannot hold it): bext (time reference 172800), iXML, 1 marker");
}

// .aifc is AIFF-C, for integer samples too; .aif and .aiff stay AIFF.
TEST_F(Metadata, AifcIsAiffC) {
    for (const char* out : {"out.aifc", "out.aif"}) {
        const auto r = Render("take.wav", out);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Contents(mDir.File(out)).substr(8, 4), std::string(out) == "out.aifc" ? "AIFC" : "AIFF") << out;
        EXPECT_EQ(host_test::ReadAudio(mDir.File(out)).samples, Ramp(2000, 1)) << out;
    }
}

}  // namespace
