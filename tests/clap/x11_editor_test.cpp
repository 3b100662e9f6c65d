// Velmor.clap's editor through the gui extension in real X11 windows, as a
// Linux CLAP host embeds it: create, set_parent with a frame window, the
// host's timer and its watch on the editor's connection as the only drivers,
// input from the XTest extension, the window's pixels read back and
// compared with the editor's own paint (an in-process instance painting
// without a window). Edits reach the host as gesture and value events,
// through flush while nothing plays and through process while it does.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "plugin/velmor.h"
#include "tests/clap/clap_fixture.h"

// Xlib's macros last: they would rename names in the headers above.
#include <X11/Xlib.h>

#include "tests/x11/x11_test_host.h"

namespace {

constexpr int kWidth = 456;
constexpr int kHeight = 416;
constexpr clap_id kPresComp = 0, kLowCut = 1, kPower = 7;

int OpenDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}

// The editor's first frame at these plain values, painted without a window.
std::vector<std::uint32_t> OwnPaint(const std::vector<std::pair<int, double>>& values) {
    PluginExporter core(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*core.Plugin());
    for (const auto& [index, value] : values) {
        const IParameter* p = v.GetParam(index);
        core.SetParameterNormalized(index, p->ValueToNormalized(value));
    }
    IEditor* editor = v.EditorView();
    editor->PaintAll();
    std::vector<std::uint32_t> pixels;
    const SysBitmap* s = editor->Surface();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const PackedPixel p = s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x];
            pixels.push_back(static_cast<std::uint32_t>(p.r) << 16 | static_cast<std::uint32_t>(p.g) << 8 | p.b);
        }
    return pixels;
}

// The kinds of the events for one parameter, in order: "B" begin, "V"
// value, "E" end.
std::string Sequence(const std::vector<ClapOutputEvents::Event>& events, clap_id param) {
    std::string s;
    for (const auto& e : events) {
        if (e.param != param) continue;
        s += e.type == kClapEventParamGestureBegin ? "B" : (e.type == kClapEventParamGestureEnd ? "E" : "V");
        EXPECT_EQ(e.flags & kClapEventIsLive, kClapEventIsLive);
    }
    return s;
}

class ClapX11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.Get(), nullptr) << "no X display; the test command runs this under Xvfb";
        ASSERT_TRUE(display.HasXTest());
    }
    const clap_plugin_gui* Gui(const ClapInstance& p) { return p.Extension<clap_plugin_gui>(kClapExtGui); }
    bool Open(const ClapInstance& p, const HostFrame& frame) {
        const clap_plugin_gui* gui = Gui(p);
        if (!gui->create(p.Get(), "x11", false)) return false;
        clap_window window{};
        window.api = "x11";
        window.x11 = frame.Id();
        return gui->set_parent(p.Get(), &window) && gui->show(p.Get());
    }

    X11TestDisplay display;
    ClapHostContext host{"x11 test"};
};

TEST_F(ClapX11Editor, OpensInTheHostsWindowAndRunsOnTheHostsTimerAndConnection) {
    const int descriptors = OpenDescriptors();
    {
        ClapInstance p(host);
        const clap_plugin_gui* gui = Gui(p);
        ASSERT_NE(gui, nullptr);
        const char* api = nullptr;
        bool floating = true;
        ASSERT_TRUE(gui->get_preferred_api(p.Get(), &api, &floating));
        EXPECT_STREQ(api, "x11");
        EXPECT_FALSE(floating);
        EXPECT_FALSE(gui->create(p.Get(), "x11", true));
        p.Set(kPresComp, 20.0);

        HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
        ASSERT_TRUE(gui->create(p.Get(), "x11", false));
        clap_window window{};
        window.api = "x11";
        window.x11 = frame.Id();
        ASSERT_TRUE(gui->set_parent(p.Get(), &window));
        // Made, mapped and painted in set_parent, before any show or timer.
        ASSERT_EQ(frame.Children().size(), 1u);
        const Window child = frame.Children().front();
        EXPECT_EQ(WindowPixels(display.Get(), child, kWidth, kHeight), OwnPaint({{kPresComp, 20.0}}));
        std::uint32_t w = 0, h = 0;
        ASSERT_TRUE(gui->get_size(p.Get(), &w, &h));
        EXPECT_EQ(w, 456u);
        EXPECT_EQ(h, 416u);
        clap_gui_resize_hints hints{true, true, true, 1, 1};
        ASSERT_TRUE(gui->get_resize_hints(p.Get(), &hints));
        EXPECT_FALSE(hints.can_resize_horizontally || hints.can_resize_vertically);
        EXPECT_FALSE(gui->can_resize(p.Get()));
        EXPECT_FALSE(gui->set_size(p.Get(), 300, 200));
        EXPECT_FALSE(gui->set_scale(p.Get(), 2.0));
        ASSERT_EQ(host.Timers().size(), 1u);
        EXPECT_LE(host.Timers().front().periodMs, 30u);
        ASSERT_EQ(host.Fds().size(), 1u);
        EXPECT_EQ(host.Fds().front().flags, kClapPosixFdRead);

        // Hidden, the editor stops its timer and watch; shown, both return.
        ASSERT_TRUE(gui->show(p.Get()));
        ASSERT_TRUE(gui->hide(p.Get()));
        EXPECT_TRUE(host.Timers().empty() && host.Fds().empty());
        ASSERT_TRUE(gui->show(p.Get()));
        EXPECT_EQ(host.Timers().size(), 1u);
        EXPECT_EQ(host.Fds().size(), 1u);

        // A frame the host destroys takes the editor's connection along:
        // the host is told to stop watching it; the timer stays until
        // destroy.
        frame.Destroy();
        host.RunMainLoopFor(p.Get(), 100);
        EXPECT_TRUE(host.Fds().empty());
        gui->destroy(p.Get());
        EXPECT_TRUE(host.Timers().empty());

        // A second instance's editor, left open when its plug-in goes.
        ClapInstance q(host);
        HostFrame other(display.Get(), 500, 0, kWidth, kHeight);
        ASSERT_TRUE(Open(q, other));
        host.RunMainLoopFor(q.Get(), 60);
    }
    EXPECT_TRUE(host.Timers().empty() && host.Fds().empty());
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(ClapX11Editor, EditsReachTheHostAsGesturesThroughFlushAndThroughProcess) {
    ClapInstance p(host);
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    ASSERT_TRUE(Open(p, frame));
    host.RunMainLoopFor(p.Get(), 100);
    auto loop = [&] { host.RunMainLoopFor(p.Get(), 120); };

    // Nothing plays: a click on "Power" asks the host to flush, and the
    // flush hands it the gesture.
    host.flushRequests = 0;
    display.Click(Button1, 200, 345);
    loop();
    EXPECT_GT(host.flushRequests.load(), 0);
    ClapOutputEvents sent = p.Flush();
    EXPECT_EQ(Sequence(sent.Events(), kPower), "BVE");
    EXPECT_EQ(p.Value(kPower), 0.0);
    ASSERT_FALSE(sent.Events().empty());
    EXPECT_EQ(sent.Events()[1].value, 0.0);
    EXPECT_TRUE(p.Flush().Events().empty());

    // Playing: a drag on "Pres Comp" arrives through process on the audio
    // thread, the values rising with the knob; a double click on "Low
    // Cut" closes the editor's gesture twice, and the host still sees every
    // gesture it opened closed once.
    ASSERT_TRUE(p.Start());
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<ClapOutputEvents::Event> heard;
    std::thread audio([&] {
        Audio io = TestSignal(2, 256);
        while (!stop) {
            ClapOutputEvents out;
            p.Process(io, 0, 256, ClapInputEvents(), &out);
            std::lock_guard<std::mutex> hold(lock);
            heard.insert(heard.end(), out.Events().begin(), out.Events().end());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    display.MoveTo(94, 262);
    display.Button(Button1, true);
    loop();
    for (int step = 1; step <= 4; ++step) {
        display.MoveTo(94, 262 - 8 * step);
        loop();
    }
    display.Button(Button1, false);
    loop();
    display.Click(Button1, 255, 370);
    display.Click(Button1, 255, 370);
    loop();
    stop = true;
    audio.join();

    std::vector<double> values;
    for (const auto& e : heard)
        if (e.param == kPresComp && e.type == kClapEventParamValue) values.push_back(e.value);
    const std::string drag = Sequence(heard, kPresComp);
    EXPECT_EQ(drag.front(), 'B');
    EXPECT_EQ(drag.back(), 'E');
    EXPECT_GE(values.size(), 4u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GT(values.back(), 12.5);
    EXPECT_EQ(p.Value(kPresComp), values.back());
    EXPECT_EQ(Sequence(heard, kLowCut), "BVEV");
    EXPECT_EQ(p.Value(kLowCut), 1.0);
    Gui(p)->destroy(p.Get());
}

}  // namespace
