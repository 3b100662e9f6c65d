// The built velmor-host as a process: what happens to OUT when a render is
// interrupted or runs out of space, and the exit statuses a shell sees.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/host/host_test_support.h"
#include "tests/host/process_support.h"

namespace {

using host_test::ProcessOptions;
using host_test::ProcessResult;
using host_test::Ramp;
using host_test::RunProcess;
using host_test::ScratchDir;
using host_test::Wav;
using host_test::WriteWav;

namespace fs = std::filesystem;

const std::string kHost = VELMOR_HOST_PATH;
const std::string kMono = HOST_GAIN_MONO_PATH;
const std::string kSlowMono = HOST_SLOW_MONO_PATH;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Names in a folder other than the ones a test put there itself.
std::vector<std::string> Leftovers(const std::string& dir, const std::vector<std::string>& expected) {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
    }
    return extra;
}

// Whether a temporary render file has appeared in `dir` (polled for up to
// ten seconds).
bool WaitForPartialFile(const std::string& dir) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".part" && fs::file_size(entry.path()) > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// SIGINT and SIGTERM stop a render midway: exit status 128 + the signal,
// no temporary file left, and an OUT that existed before is untouched
// byte for byte (one that did not stays absent).
TEST(Process, InterruptedRenderLeavesOutAsItWas) {
    for (const int sig : {SIGINT, SIGTERM}) {
        for (const bool outExists : {false, true}) {
            SCOPED_TRACE(std::to_string(sig) + (outExists ? " over an existing OUT" : " into a new OUT"));
            ScratchDir dir;
            // 48000 frames in blocks of 64 at 2 ms a block: 1.5 s of render.
            WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(48000, 1));
            const std::string previous = "an earlier, complete render";
            if (outExists) WriteText(dir.File("out.wav"), previous);
            bool sawPartial = false;
            ProcessOptions options;
            options.meanwhile = [&](pid_t pid) {
                sawPartial = WaitForPartialFile(dir.File(""));
                kill(pid, sig);
            };
            const ProcessResult r = RunProcess(
                kHost, {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kSlowMono, "--block", "64"},
                options);
            EXPECT_TRUE(sawPartial);
            EXPECT_FALSE(r.signalled);
            EXPECT_EQ(r.status, 128 + sig) << r.err;
            EXPECT_NE(r.err.find("velmor-host: interrupted; nothing written to"), std::string::npos) << r.err;
            if (outExists) {
                EXPECT_EQ(Contents(dir.File("out.wav")), previous);
            } else {
                EXPECT_FALSE(fs::exists(dir.File("out.wav")));
            }
            EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});
        }
    }
}

// A render that runs out of space (a file-size limit here) fails with the
// reason, removes what it wrote and keeps the earlier OUT; one that
// succeeds replaces OUT and leaves nothing else behind.
TEST(Process, FailedRenderKeepsOutAndASuccessfulOneReplacesIt) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(48000, 1));  // 96 kB of samples
    const std::string previous = "an earlier, complete render";
    WriteText(dir.File("out.wav"), previous);
    const std::vector<std::string> args = {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kMono};

    ProcessOptions limited;
    limited.fileSizeLimit = 32768;
    ProcessResult r = RunProcess(kHost, args, limited);
    EXPECT_FALSE(r.signalled);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("velmor-host: cannot write " + dir.File("out.wav")), 0u) << r.err;
    EXPECT_EQ(r.err.find(".part"), std::string::npos) << r.err;
    EXPECT_EQ(Contents(dir.File("out.wav")), previous);
    EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});

    r = RunProcess(kHost, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(host_test::ReadAudio(dir.File("out.wav")).samples, Ramp(48000, 1));
    EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});
}

}  // namespace
