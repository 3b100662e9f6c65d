// velmor.lv2's UI in real X11 windows, as an LV2 host embeds it: opened in
// the host's frame through ui:parent, driven by the idle interface alone,
// input from the XTest extension, pixels read back and compared with the
// editor's own paint. Port values reach it as port events; its edits come
// back as port writes between touch begin and end; the host's scale factor
// sizes the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "lv2/lilv_host.h"
#include "lv2/velmor_lv2_ids.h"
#include "plugin/velmor.h"
#include "plugin/vu_control.h"

// Xlib's macros last: they would rename names in the headers above.
#include <X11/Xlib.h>

#include "tests/x11/x11_test_host.h"

namespace {

constexpr int kWidth = 456;
constexpr int kHeight = 416;
constexpr std::uint32_t kPresComp = 0, kLowCut = 1, kPower = 7;

// The editor's first frame at these plain values, painted without a window.
std::vector<std::uint32_t> OwnPaint(const std::vector<std::pair<int, double>>& values) {
    PluginExporter core(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*core.Plugin());
    for (const auto& [index, value] : values) {
        core.SetParameterNormalized(index, v.GetParam(index)->ValueToNormalized(value));
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

// Where two frames differ outside the meters, as "x0,y0-x1,y1 n" ("" where
// they are equal): a failure names the region. The meters' lamps warm up
// over the first paints, so a window that has idled shows them otherwise
// than a first paint.
std::string Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " " + std::to_string(b.size());
    PluginExporter core(CreatePluginInstance(), nullptr);
    const auto& v = static_cast<const Velmor&>(*core.Plugin());
    const IRectangle meters[] = {v.DriveMeterControl()->Rect(), v.OutputMeterControl()->Rect()};
    int x0 = kWidth, y0 = kHeight, x1 = -1, y1 = -1, n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        const int x = static_cast<int>(i) % kWidth, y = static_cast<int>(i) / kWidth;
        bool inMeter = false;
        for (const IRectangle& r : meters)
            inMeter = inMeter || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
        if (inMeter) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        ++n;
    }
    if (n == 0) return "";
    return std::to_string(x0) + "," + std::to_string(y0) + "-" + std::to_string(x1) + "," + std::to_string(y1) + " " +
           std::to_string(n);
}

// "B" touch begin, "W" write, "E" touch end, for one port.
std::string Sequence(const std::vector<Lv2Ui::Event>& events, std::uint32_t port) {
    std::string s;
    for (const auto& e : events) {
        if (e.port != port) continue;
        s += e.kind == Lv2Ui::Event::kTouchBegin ? "B" : (e.kind == Lv2Ui::Event::kTouchEnd ? "E" : "W");
    }
    return s;
}

struct WindowSize {
    unsigned width = 0, height = 0;
};

WindowSize SizeOf(Display* display, Window w) {
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    WindowSize s;
    if (XGetGeometry(display, w, &root, &x, &y, &width, &height, &border, &depth)) s = {width, height};
    return s;
}

class Lv2X11Ui : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.Get(), nullptr) << "no X display; the test command runs this under Xvfb";
        ASSERT_TRUE(display.HasXTest());
        std::string error;
        ASSERT_TRUE(plugin.Load(VELMOR_LV2_BUNDLE, kVelmorLv2StereoUri, 48000.0, 512, error)) << error;
        plugin.Activate();
    }
    // The host's UI loop for ms milliseconds: port events, idle, its frame's
    // events, and (when asked) audio blocks between.
    void Loop(Lv2Ui& ui, HostFrame& frame, int ms, bool audio = false) {
        std::vector<float> loud(512), out(512);
        for (int i = 0; i < 512; ++i) loud[static_cast<std::size_t>(i)] = i % 2 ? 0.9f : -0.9f;
        const float* ins[2] = {loud.data(), loud.data()};
        float* outs[2] = {out.data(), out.data()};
        for (int t = 0; t < ms; t += 10) {
            if (audio) plugin.Run(ins, outs, 480);
            EXPECT_TRUE(ui.Idle());
            frame.Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    X11TestDisplay display;
    Lv2Plugin plugin;
};

TEST_F(Lv2X11Ui, OpensInTheHostsFrameAndShowsThePortsValues) {
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    Lv2Ui ui(plugin);
    std::string error;
    ASSERT_TRUE(ui.Open(frame.Id(), 0.0, error)) << error;
    // No scale factor from the host: exactly 1x.
    EXPECT_EQ(ui.Width(), kWidth);
    EXPECT_EQ(ui.Height(), kHeight);
    ASSERT_EQ(frame.Children().size(), 1u);
    EXPECT_EQ(frame.Children().front(), ui.Widget());
    plugin.SetControl(kPresComp, 20.0f);
    Loop(ui, frame, 100);
    EXPECT_EQ(Differences(WindowPixels(display.Get(), ui.Widget(), kWidth, kHeight), OwnPaint({{kPresComp, 20.0}})),
              "");

    // The meters' needles follow the audio side's output ports.
    const auto still = WindowPixels(display.Get(), ui.Widget(), kWidth, kHeight);
    Loop(ui, frame, 400, true);
    EXPECT_NE(WindowPixels(display.Get(), ui.Widget(), kWidth, kHeight), still);
    ui.Close();
    EXPECT_TRUE(frame.Children().empty());
}

TEST_F(Lv2X11Ui, EditsReachThePortsBetweenTouches) {
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    Lv2Ui ui(plugin);
    std::string error;
    ASSERT_TRUE(ui.Open(frame.Id(), 0.0, error)) << error;
    Loop(ui, frame, 100);

    display.Click(Button1, 200, 345);
    Loop(ui, frame, 120);
    EXPECT_EQ(Sequence(ui.Events(), kPower), "BWE");
    EXPECT_EQ(plugin.Control(kPower), 0.0f);

    ui.ClearEvents();
    display.MoveTo(94, 262);
    display.Button(Button1, true);
    Loop(ui, frame, 120);
    for (int step = 1; step <= 4; ++step) {
        display.MoveTo(94, 262 - 8 * step);
        Loop(ui, frame, 60);
    }
    display.Button(Button1, false);
    Loop(ui, frame, 120);
    std::vector<float> values;
    for (const auto& e : ui.Events())
        if (e.port == kPresComp && e.kind == Lv2Ui::Event::kWrite) values.push_back(e.value);
    const std::string drag = Sequence(ui.Events(), kPresComp);
    ASSERT_FALSE(drag.empty());
    EXPECT_EQ(drag.front(), 'B');
    EXPECT_EQ(drag.back(), 'E');
    EXPECT_GE(values.size(), 4u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GT(values.back(), 12.5f);
    EXPECT_EQ(plugin.Control(kPresComp), values.back());
    EXPECT_EQ(Sequence(ui.Events(), kLowCut), "");
}

TEST_F(Lv2X11Ui, TheHostsScaleFactorSizesTheWindow) {
    struct Case {
        double atOpen;
        double later;  // through the options interface; 0: none
        int width, height;
    } cases[] = {{2.0, 0.0, 912, 832}, {0.0, 2.0, 912, 832}, {1.5, 0.0, 684, 624}, {2.0, 1.0, kWidth, kHeight}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.atOpen) + " then " + std::to_string(c.later));
        HostFrame frame(display.Get(), 0, 0, 912, 832);
        Lv2Ui ui(plugin);
        std::string error;
        ASSERT_TRUE(ui.Open(frame.Id(), c.atOpen, error)) << error;
        if (c.later > 0.0) {
            ASSERT_TRUE(ui.SetScale(c.later));
        }
        Loop(ui, frame, 60);
        EXPECT_EQ(ui.Width(), c.width);
        EXPECT_EQ(ui.Height(), c.height);
        const WindowSize s = SizeOf(display.Get(), ui.Widget());
        EXPECT_EQ(s.width, static_cast<unsigned>(c.width));
        EXPECT_EQ(s.height, static_cast<unsigned>(c.height));
    }
}

TEST_F(Lv2X11Ui, TwoInstancesShowTheirOwnPlugIns) {
    Lv2Plugin other;
    std::string error;
    ASSERT_TRUE(other.Load(VELMOR_LV2_BUNDLE, kVelmorLv2MonoUri, 48000.0, 512, error)) << error;
    HostFrame a(display.Get(), 0, 0, kWidth, kHeight), b(display.Get(), 500, 0, kWidth, kHeight);
    Lv2Ui uiA(plugin), uiB(other);
    ASSERT_TRUE(uiA.Open(a.Id(), 0.0, error)) << error;
    ASSERT_TRUE(uiB.Open(b.Id(), 0.0, error)) << error;
    plugin.SetControl(kPresComp, 20.0f);
    other.SetControl(kPresComp, -5.0f);
    Loop(uiA, a, 60);
    Loop(uiB, b, 60);
    Loop(uiA, a, 60);
    EXPECT_EQ(Differences(WindowPixels(display.Get(), uiA.Widget(), kWidth, kHeight), OwnPaint({{kPresComp, 20.0}})),
              "");
    EXPECT_EQ(Differences(WindowPixels(display.Get(), uiB.Widget(), kWidth, kHeight), OwnPaint({{kPresComp, -5.0}})),
              "");
}

}  // namespace
