// Shared helpers of the host tests: a scratch folder, WAV fixtures written
// with the built-in writer (so the same fixtures exist under Wine), and
// in-process runs of the command line.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tools/velmor-host/audio_file.h"
#include "tools/velmor-host/host_commands.h"
#include "tools/velmor-host/wav_file.h"

namespace host_test {

class ScratchDir {
public:
    ScratchDir() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("velmor-host-") + (info ? info->name() : "test") + "-" + std::to_string(counter++);
        for (char& c : name)
            if (c == '/') c = '_';
        mPath = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    std::string File(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

inline AudioFormat Wav(AudioEncoding encoding, int channels, int sampleRate = 44100) {
    AudioFormat f;
    f.container = AudioContainer::kWav;
    f.encoding = encoding;
    f.channels = channels;
    f.sampleRate = sampleRate;
    return f;
}

inline void WriteWav(const std::string& path, const AudioFormat& format, const std::vector<double>& interleaved) {
    std::string error;
    auto writer = OpenWavWriter(path, format, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(
        writer->Write(interleaved.data(), static_cast<std::int64_t>(interleaved.size()) / format.channels, error))
        << error;
    ASSERT_TRUE(writer->Close(error)) << error;
}

struct Audio {
    AudioFormat format;
    std::vector<double> samples;  // interleaved
};

// Reads through the build's own reader (libsndfile where present).
inline Audio ReadAudio(const std::string& path) {
    Audio audio;
    std::string error;
    auto reader = OpenAudioReader(path, error);
    EXPECT_TRUE(reader) << error;
    if (!reader) return audio;
    audio.format = reader->Format();
    std::vector<double> block(4096 * static_cast<std::size_t>(audio.format.channels));
    for (;;) {
        const std::int64_t n = reader->Read(block.data(), 4096, error);
        EXPECT_GE(n, 0) << error;
        if (n <= 0) break;
        audio.samples.insert(audio.samples.end(), block.begin(),
                             block.begin() + n * static_cast<std::int64_t>(audio.format.channels));
    }
    return audio;
}

// A test signal on the 16-bit grid, so every sample and every sample times
// a power of two is exact in float, double and 16-bit PCM. Channel c of
// frame i differs between channels and frames.
inline std::vector<double> Ramp(int frames, int channels) {
    std::vector<double> out;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) out.push_back(((i * 37 + c * 1001) % 8192 - 4096) / 32768.0);
    return out;
}

struct RunResult {
    int code;
    std::string out;
    std::string err;
};

inline RunResult RunCli(const std::vector<std::string>& args, const std::string& defaultPlugin = "") {
    std::ostringstream out, err;
    HostEnvironment environment;
    environment.defaultPluginPath = defaultPlugin;
    const int code = RunHost(args, environment, out, err);
    return {code, out.str(), err.str()};
}

#if defined(VELMOR_HOST_PATH)
// The built velmor-host as a child process where the platform has POSIX
// process control; in-process (the same code) elsewhere.
RunResult RunHostProcess(const std::vector<std::string>& args, const std::string& input = "",
                         const std::string& workingDir = "");
#endif

// A failure is exactly one line on stderr, naming the problem.
inline void ExpectOneLineError(const RunResult& r, const std::string& fragment) {
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find(fragment), std::string::npos) << "stderr: " << r.err;
    EXPECT_EQ(r.err.find("velmor-host: "), 0u) << r.err;
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
}

}  // namespace host_test
