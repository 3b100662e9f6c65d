// What velmor-host does to what OUT names, run as the built executable:
// symbolic links and special files are written through, a file the caller
// may not write is refused, a replaced file keeps its owner, group and
// mode, and nothing is left beside OUT, not even after SIGKILL.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

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
constexpr int kFrames = 4000;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A render of in.wav (a ramp) through the unity-gain mono plug-in.
ProcessResult Render(const ScratchDir& dir, const std::string& out, const ProcessOptions& options = {},
                     const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"render", dir.File("in.wav"), out, "--plugin", kMono, "--set", "Gain=1"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProcess(kHost, args, options);
}

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override { WriteWav(mDir.File("in.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(kFrames, 1)); }
    std::string File(const std::string& name) const { return mDir.File(name); }
    void ExpectRendered(const std::string& path) {
        EXPECT_EQ(host_test::ReadAudio(path).samples, Ramp(kFrames, 1)) << path;
    }
    ScratchDir mDir;
};

// A link is followed and its target replaced; the link stays a link. A
// dangling one creates its target, as cp does.
TEST_F(OutputFile, SymbolicLinksAreWrittenThrough) {
    WriteText(File("take.wav"), "an older take");
    fs::create_symlink("take.wav", File("link.wav"));
    fs::create_symlink(File("new.wav"), File("dangling.wav"));
    for (const char* link : {"link.wav", "dangling.wav"}) {
        const ProcessResult r = Render(mDir, File(link));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(File(link))) << link;
    }
    ExpectRendered(File("take.wav"));
    ExpectRendered(File("new.wav"));
    EXPECT_EQ(Names(File("")), (std::vector<std::string>{"dangling.wav", "in.wav", "link.wav", "new.wav", "take.wav"}));
}

// A FIFO gets the file itself (WAV streamed with its final sizes, FLAC
// finished first) and stays a FIFO; a character device is written, never
// replaced (as root, OUT /dev/null once destroyed the device node).
TEST_F(OutputFile, FifosAndDevicesAreWrittenDirectly) {
    for (const char* type : {"wav", "flac"}) {
        SCOPED_TRACE(type);
        const std::string fifo = File(std::string("pipe.") + type);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        std::string received;
        std::thread reader([&] { received = Contents(fifo); });
        const ProcessResult r = Render(mDir, fifo);
        reader.join();
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_fifo(fifo));
        WriteText(File(std::string("received.") + type), received);
        ExpectRendered(File(std::string("received.") + type));
    }
    // As root, a node of its own: a host with this fault back would
    // otherwise destroy the machine's /dev/null.
    std::string device = "/dev/null";
    if (getuid() == 0) {
        device = File("null");
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    const ProcessResult r = Render(mDir, device);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_character_file(device));
}

// Whether every folder from the root down to `dir` lets other users pass.
bool OthersMaySearch(fs::path dir) {
    for (dir = fs::absolute(dir); !dir.empty(); dir = dir.parent_path()) {
        std::error_code ec;
        if ((fs::status(dir, ec).permissions() & fs::perms::others_exec) == fs::perms::none) return false;
        if (dir == dir.root_path()) break;
    }
    return true;
}

// Read-only for the caller: refused with the system's reason before
// anything is rendered, and the file is untouched. The tests run as root,
// who may write anything, so the render runs as `nobody` then.
TEST_F(OutputFile, AFileTheCallerMayNotWriteIsRefused) {
    WriteText(File("out.wav"), "keep me");
    fs::permissions(File("out.wav"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(File(""), fs::perms::all);  // the folder is writable: only the file is not
    ProcessOptions options;
    options.asNobody = getuid() == 0;
    if (options.asNobody && !OthersMaySearch(fs::path(kHost).parent_path())) {
        GTEST_SKIP() << "the build folder is closed to other users, so `nobody` cannot run velmor-host from it";
    }
    const ProcessResult r = Render(mDir, File("out.wav"), options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "velmor-host: cannot write " + File("out.wav") + ": Permission denied\n");
    EXPECT_EQ(Contents(File("out.wav")), "keep me");
    EXPECT_EQ(Names(File("")), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// The replaced file is still the one its owner had: owner, group and mode
// (set here to another user's and an unusual mode; root may keep them).
TEST_F(OutputFile, AReplacedFileKeepsItsOwnerGroupAndMode) {
    const passwd* nobody = getpwnam("nobody");
    if (getuid() != 0 || !nobody) GTEST_SKIP() << "needs root and a user nobody to own the file";
    for (const char* name : {"out.wav", "state.bin"}) {
        WriteText(File(name), "an older one");
        ASSERT_EQ(chown(File(name).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(chmod(File(name).c_str(), 0640), 0);
    }
    ProcessResult r = Render(mDir, File("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunProcess(kHost, {"state", "save", File("state.bin"), "--plugin", kMono});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"out.wav", "state.bin"}) {
        struct stat info {};
        ASSERT_EQ(stat(File(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, nobody->pw_uid) << name;
        EXPECT_EQ(info.st_gid, nobody->pw_gid) << name;
        EXPECT_EQ(info.st_mode & 07777, 0640u) << name;
    }
    ExpectRendered(File("out.wav"));
    EXPECT_NE(Contents(File("state.bin")).substr(0, 8), "an older");
}

// SIGKILL cannot be caught, so the render's temporary file has no name
// while it is written: nothing is left. The hidden names that a system
// without unnamed files leaves are removed by a later run once their
// process is gone (a running one's are kept).
TEST_F(OutputFile, NothingIsLeftBehindAfterSigkill) {
    WriteWav(File("long.wav"), Wav(AudioEncoding::kPcm16, 1), Ramp(48000, 1));
    ProcessOptions options;
    options.meanwhile = [&](pid_t pid) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // 2 ms per block of 64 frames
        kill(pid, SIGKILL);
    };
    const ProcessResult killed = RunProcess(
        kHost, {"render", File("long.wav"), File("out.wav"), "--plugin", kSlowMono, "--block", "64"}, options);
    EXPECT_TRUE(killed.signalled);
    EXPECT_EQ(Names(File("")), (std::vector<std::string>{"in.wav", "long.wav"}));

    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".out.wav.velmor-host-" + std::to_string(gone) + "-0.part";
    const std::string running = ".out.wav.velmor-host-" + std::to_string(getpid()) + "-3.part";
    const std::string other = ".notes.velmor-host-x.part";  // not one of ours
    for (const std::string& name : {stale, running, other}) WriteText(File(name), "partial");
    const ProcessResult r = Render(mDir, File("out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected = {other, running, "in.wav", "long.wav", "out.wav"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(File("")), expected);
}

// Every type streams to a pipe as the same bytes it has in a file: FLAC once
// had 27 bytes after its stream, and AIFF wrote its header before being
// refused.
TEST_F(OutputFile, EveryTypeToAPipeIsTheFileItself) {
    for (const char* type : {"wav", "flac", "aiff", "caf", "w64", "au"}) {
        SCOPED_TRACE(type);
        const std::string file = File(std::string("out.") + type);
        const ProcessResult written = Render(mDir, file);
        ASSERT_EQ(written.status, 0) << written.err;
        const ProcessResult piped = Render(mDir, "-", {}, {"--type", type});
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_TRUE(piped.out == Contents(file))
            << piped.out.size() << " bytes piped, " << Contents(file).size() << " in the file";
    }
}

}  // namespace
