// `velmor-host editor` as the built executable on a private X display
// (the test runs under scripts/with-xvfb.sh): it ends on the first signal
// and leaves no picture, writes PNG only where a PNG is asked for, checks
// what it plays, and names the reason when the picture cannot be written.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "tests/host/host_test_support.h"
#include "tests/host/process_support.h"

namespace {

using host_test::ProcessOptions;
using host_test::ProcessResult;
using host_test::RunProcess;
using host_test::ScratchDir;

namespace fs = std::filesystem;

const std::string kHost = VELMOR_HOST_PATH;
const std::string kVelmor = VELMOR_PLUGIN_PATH;

ProcessResult Editor(const std::vector<std::string>& extra, const ProcessOptions& options = {},
                     const std::string& plugin = kVelmor) {
    std::vector<std::string> args = {"editor"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--plugin", plugin});
    return RunProcess(kHost, args, options);
}

// The width and height a PNG's header states (0 x 0 for anything else).
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    const auto word = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

// Asked to wait ten minutes, the editor still ends on the first SIGINT,
// SIGTERM or SIGHUP, at once and with the shell's status, and writes no
// picture.
TEST(EditorProcess, EndsOnTheFirstSignalWithoutAPicture) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        ScratchDir dir;
        ProcessOptions options;
        options.meanwhile = [&](pid_t pid) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the editor is open by then
            kill(pid, sig);
        };
        options.timeoutSeconds = 20;
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult r = Editor({dir.File("editor.png"), "--after", "600000"}, options);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_FALSE(r.signalled);
        EXPECT_EQ(r.status, 128 + sig) << r.err;
        EXPECT_EQ(r.err, "velmor-host: interrupted; nothing written to " + dir.File("editor.png") + "\n");
        EXPECT_TRUE(fs::is_empty(dir.File("")));
    }
}

TEST(EditorProcess, WritesAPngWhereOneIsAskedForAndSaysWhyNot) {
    ScratchDir dir;
    host_test::WriteWav(dir.File("three.wav"), host_test::Wav(AudioEncoding::kPcm16, 3), host_test::Ramp(100, 3));
    const struct {
        std::vector<std::string> args;
        const char* error;  // the one line on stderr; null: succeeds
    } cases[] = {
        {{"-", "--after", "0"}, nullptr},
        {{dir.File("editor.jpg")}, "editor writes a PNG picture: name it NAME.png (or - for standard output), not "},
        {{dir.File("editor")}, "editor writes a PNG picture"},
        {{dir.File("editor.png"), "--play", dir.File("three.wav")},
         "the plug-in has 2 inputs; the file has 3 channels ("},
        {{dir.File("missing/editor.png"), "--after", "0"}, ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ProcessResult r = Editor(c.args);
        if (!c.error) {
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out.substr(0, 8), "\x89PNG\r\n\x1a\n");
            continue;
        }
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("")), fs::directory_iterator()), 1);  // three.wav
}

// --scale through each format's own way (VST 2.4: the server's Xft.dpi;
// VST 3: the view's content scale; CLAP: gui.set_scale; LV2: the UI's scale
// factor): the picture is the window at twice the panel's size; without
// --scale it is the panel's.
TEST(EditorProcess, ScaleTwoPhotographsTheEditorAtTwiceItsSizeInEveryFormat) {
    struct Plugin {
        std::string location;
        std::vector<std::string> extra;
    };
    std::vector<Plugin> plugins = {{kVelmor, {}}};
#ifdef VELMOR_VST3_PATH
    plugins.push_back({VELMOR_VST3_PATH, {}});
#endif
#ifdef VELMOR_CLAP_PATH
    plugins.push_back({VELMOR_CLAP_PATH, {}});
#endif
#ifdef VELMOR_LV2_BUNDLE
    plugins.push_back({VELMOR_LV2_BUNDLE, {"--class", "urn:trelowen:orvane:stereo"}});
#endif
    const struct {
        const char* scale;
        std::uint32_t width, height;
    } cases[] = {{"2", 912, 832}, {"1", 456, 416}};
    for (const Plugin& plugin : plugins) {
        for (const auto& c : cases) {
            SCOPED_TRACE(plugin.location + " at " + c.scale);
            std::vector<std::string> args = {"-", "--after", "0", "--scale", c.scale};
            args.insert(args.end(), plugin.extra.begin(), plugin.extra.end());
            const ProcessResult r = Editor(args, {}, plugin.location);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(PngSize(r.out), std::make_pair(c.width, c.height));
        }
    }
}

}  // namespace
