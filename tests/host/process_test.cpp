// The built velmor-host as a process: what happens to OUT when a render is
// interrupted or runs out of space, and the exit statuses a shell sees.
#include <gtest/gtest.h>
#include <pty.h>

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
const std::string kStuckMono = HOST_STUCK_MONO_PATH;

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

// Whether process `pid` holds a temporary output file in `dir` open (one
// without a name, or a hidden ".part" one), with audio in it unless `empty`
// will do; polled for up to ten seconds.
bool WaitForPartialFile(pid_t pid, const std::string& dir, bool empty = false) {
    const fs::path folder = fs::canonical(dir);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            const std::string target = fs::read_symlink(entry.path(), ec).string();
            const bool temporary =
                target.rfind(folder.string() + "/", 0) == 0 &&
                (target.find(" (deleted)") != std::string::npos || target.find(".part") != std::string::npos);
            if (temporary && (empty || fs::file_size(entry.path(), ec) > 0)) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// SIGINT, SIGTERM and SIGHUP (a closed terminal) stop a render midway: exit status 128 + the signal,
// no temporary file left, and an OUT that existed before is untouched
// byte for byte (one that did not stays absent).
TEST(Process, InterruptedRenderLeavesOutAsItWas) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
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
                sawPartial = WaitForPartialFile(pid, dir.File(""));
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

// A plug-in stuck inside a block never lets the render see the first
// signal; the second ends the process at once, and still removes the
// temporary file and leaves OUT alone.
TEST(Process, SecondSignalEndsAStuckRenderAndStillCleansUp) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(4800, 1));
    const std::string previous = "an earlier, complete render";
    WriteText(dir.File("out.wav"), previous);
    bool sawPartial = false;
    ProcessOptions options;
    options.meanwhile = [&](pid_t pid) {
        sawPartial = WaitForPartialFile(pid, dir.File(""), true);     // the header is still buffered
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well into the stuck block
        kill(pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(pid, SIGINT);
    };
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult r =
        RunProcess(kHost, {"render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kStuckMono}, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // not the plug-in's 30 s
    EXPECT_TRUE(sawPartial);
    EXPECT_FALSE(r.signalled);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(Contents(dir.File("out.wav")), previous);
    EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});
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
    EXPECT_EQ(r.err, "velmor-host: cannot write " + dir.File("out.wav") + ": File too large\n");
    EXPECT_EQ(r.err.find(".part"), std::string::npos) << r.err;
    EXPECT_EQ(Contents(dir.File("out.wav")), previous);
    EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});

    r = RunProcess(kHost, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(host_test::ReadAudio(dir.File("out.wav")).samples, Ramp(48000, 1));
    EXPECT_EQ(Leftovers(dir.File(""), {"in.wav", "out.wav"}), std::vector<std::string>{});
}

struct TerminalRun {
    int status = -1;
    bool interrupted = false;
    std::string transcript;  // everything the child wrote to its terminal
};

// Runs velmor-host with a pseudo-terminal as its standard output and error,
// sending SIGINT once the progress line shows when `interrupt` is set.
TerminalRun RunOnTerminal(const std::vector<std::string>& args, bool interrupt) {
    TerminalRun run;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        std::vector<char*> argv = {const_cast<char*>(kHost.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kHost.c_str(), argv.data());
        _exit(127);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        pollfd fd = {terminal, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;  // the child closed the terminal
        run.transcript.append(buffer, static_cast<std::size_t>(n));
        if (interrupt && !run.interrupted && run.transcript.find("rendering [") != std::string::npos) {
            kill(pid, SIGINT);
            run.interrupted = true;
        }
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// On a terminal the progress line is drawn (unless --quiet); an interrupt
// clears it, so the message (and the shell's prompt after it) starts on a
// clean line.
TEST(Process, InterruptOnATerminalEndsTheProgressLineCleanly) {
    ScratchDir dir;
    WriteWav(dir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(48000, 1));
    const std::vector<std::string> args = {
        "render", dir.File("in.wav"), dir.File("out.wav"), "--plugin", kSlowMono, "--block", "64"};
    const TerminalRun run = RunOnTerminal(args, true);
    const std::string& transcript = run.transcript;
    ASSERT_TRUE(run.interrupted) << transcript;
    EXPECT_EQ(run.status, 130);
    const std::size_t message = transcript.find("velmor-host: interrupted; nothing written to");
    ASSERT_NE(message, std::string::npos) << transcript;
    // Before the message: the last bar, then spaces over all of it and a
    // carriage return; nothing of the bar is left on the message's line.
    const std::size_t lastBar = transcript.rfind("\rrendering [", message);
    ASSERT_NE(lastBar, std::string::npos);
    EXPECT_NE(transcript.find(" elapsed, ", lastBar), std::string::npos) << transcript;
    const std::size_t barEnd = transcript.find('\r', lastBar + 1);
    const std::size_t width = barEnd - lastBar - 1;
    EXPECT_EQ(transcript.substr(barEnd, message - barEnd), "\r" + std::string(width, ' ') + "\r") << transcript;
    EXPECT_FALSE(fs::exists(dir.File("out.wav")));

    std::vector<std::string> quiet = args;
    quiet.push_back("--quiet");
    const TerminalRun silent = RunOnTerminal(quiet, false);
    EXPECT_EQ(silent.status, 0) << silent.transcript;
    EXPECT_EQ(silent.transcript, "");
    EXPECT_TRUE(fs::exists(dir.File("out.wav")));
}

}  // namespace
