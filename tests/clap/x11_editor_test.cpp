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
#include <cmath>
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
constexpr int kSettleMs = 2700;  // the meter's lamp has warmed up by then
constexpr int kSettledTicks = 80;

int OpenDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}

// The editor's frame at these plain values and scale, painted without a
// window, after ticks timer ticks.
std::vector<std::uint32_t> OwnPaint(const std::vector<std::pair<int, double>>& values, double scale = 1.0,
                                    int ticks = 0) {
    PluginExporter core(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*core.Plugin());
    for (const auto& [index, value] : values) {
        const IParameter* p = v.GetParam(index);
        core.SetParameterNormalized(index, p->ValueToNormalized(value));
    }
    IEditor* editor = v.EditorView();
    editor->SetScale(scale);
    editor->PaintAll();
    for (int i = 0; i < ticks; ++i) editor->RepaintDirty();
    std::vector<std::uint32_t> pixels;
    const SysBitmap* s = editor->Surface();
    for (int y = 0; y < s->Height(); ++y)
        for (int x = 0; x < s->Width(); ++x) {
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
        // The scale it has already: nothing to resize.
        EXPECT_TRUE(gui->set_scale(p.Get(), 1.0));
        EXPECT_EQ(host.resizeRequests.load(), 0);
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

// set_scale between create and set_parent sizes the editor (912 x 832 at
// 2, the editor's own paint at that scale); while open each change makes
// the window again at the new size, asks the host once to resize, and
// moves the host's watch to the new window's connection. A percentage (one
// host sends 100 for 1x) is read as one; what is not a scale is refused.
TEST_F(ClapX11Editor, SetScaleSizesAndPaintsTheEditorBeforeAndWhileOpen) {
    const int descriptors = OpenDescriptors();
    {
        ClapInstance p(host);
        const clap_plugin_gui* gui = Gui(p);
        EXPECT_FALSE(gui->set_scale(p.Get(), 2.0));  // before create
        ASSERT_TRUE(gui->create(p.Get(), "x11", false));
        for (double wrong : {0.0, -2.0, std::nan("")}) EXPECT_FALSE(gui->set_scale(p.Get(), wrong)) << wrong;
        ASSERT_TRUE(gui->set_scale(p.Get(), 2.0));
        std::uint32_t w = 0, h = 0;
        ASSERT_TRUE(gui->get_size(p.Get(), &w, &h));
        EXPECT_EQ(w, 912u);
        EXPECT_EQ(h, 832u);
        HostFrame frame(display.Get(), 0, 0, 912, 832);
        clap_window window{};
        window.api = "x11";
        window.x11 = frame.Id();
        ASSERT_TRUE(gui->set_parent(p.Get(), &window));
        ASSERT_TRUE(gui->show(p.Get()));
        ASSERT_EQ(frame.Children().size(), 1u);
        EXPECT_EQ(WindowPixels(display.Get(), frame.Children().front(), 912, 832), OwnPaint({}, 2.0));
        EXPECT_EQ(host.resizeRequests.load(), 0);
        // Each paint moves the meter lamp's fade: once it has settled, a
        // window made again shows what a settled editor paints. Waited for
        // by its pixels, not a time: a sanitizer build paints far slower.
        const std::vector<std::uint32_t> settled = OwnPaint({}, 2.0, kSettledTicks);
        host.RunMainLoopFor(p.Get(), kSettleMs);
        for (int waited = 0; waited < 60000; waited += 250) {
            if (WindowPixels(display.Get(), frame.Children().front(), 912, 832) == settled) break;
            host.RunMainLoopFor(p.Get(), 250);
        }
        ASSERT_EQ(WindowPixels(display.Get(), frame.Children().front(), 912, 832), settled);

        const struct { double asked, taken; } steps[] = {{1.5, 1.5}, {1.5, 1.5}, {100.0, 1.0}, {2.0, 2.0}, {1.3, 1.25}};
        int requests = 0;
        double current = 2.0;
        for (const auto& step : steps) {
            SCOPED_TRACE(step.asked);
            ASSERT_TRUE(gui->set_scale(p.Get(), step.asked));
            const auto sw = static_cast<std::uint32_t>(kWidth * step.taken);
            const auto sh = static_cast<std::uint32_t>(kHeight * step.taken);
            requests += step.taken != current ? 1 : 0;
            current = step.taken;
            EXPECT_EQ(host.resizeRequests.load(), requests);
            EXPECT_EQ(host.requestedWidth.load(), sw);
            EXPECT_EQ(host.requestedHeight.load(), sh);
            ASSERT_TRUE(gui->get_size(p.Get(), &w, &h));
            EXPECT_EQ(w, sw);
            EXPECT_EQ(h, sh);
            ASSERT_EQ(frame.Children().size(), 1u);
            EXPECT_EQ(WindowPixels(display.Get(), frame.Children().front(), static_cast<int>(sw), static_cast<int>(sh)),
                      OwnPaint({}, step.taken, kSettledTicks));
            ASSERT_EQ(host.Timers().size(), 1u);
            ASSERT_EQ(host.Fds().size(), 1u);
            host.RunMainLoopFor(p.Get(), 40);
            EXPECT_EQ(host.Fds().size(), 1u);  // the new connection is live
        }
        // Hidden, a change registers nothing; shown again, the watch returns.
        ASSERT_TRUE(gui->hide(p.Get()));
        ASSERT_TRUE(gui->set_scale(p.Get(), 1.0));
        EXPECT_TRUE(host.Timers().empty() && host.Fds().empty());
        ASSERT_TRUE(gui->show(p.Get()));
        EXPECT_EQ(host.Timers().size(), 1u);
        EXPECT_EQ(host.Fds().size(), 1u);
        gui->destroy(p.Get());
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
