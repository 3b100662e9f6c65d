// Velmor.clap's editor through the gui extension in a real Win32 window
// (under Wine in the test command): set_parent with a host window makes the
// editor's child, which shows the editor's own paint; window messages as a
// user's mouse makes them become gesture and value events the host gets
// through flush, asked for by the plug-in's own timer on the host's thread.
#include <gtest/gtest.h>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "plugin/velmor.h"
#include "raster/packed_pixel.h"
#include "tests/clap/clap_fixture.h"
#include "tests/win/win_test_host.h"

namespace {

constexpr clap_id kPresComp = 0, kPower = 7;
const IRectangle kPresCompKnob{64, 232, 178, 360};

LPARAM At(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x)) |
           (static_cast<LPARAM>(static_cast<std::uint16_t>(y)) << 16);
}

// The kinds of the events for one parameter, in order.
std::string Sequence(const std::vector<ClapOutputEvents::Event>& events, clap_id param) {
    std::string s;
    for (const auto& e : events) {
        if (e.param != param) continue;
        s += e.type == kClapEventParamGestureBegin ? "B" : (e.type == kClapEventParamGestureEnd ? "E" : "V");
    }
    return s;
}

// The editor's paint of rect at Pres Comp = value, without a window.
std::vector<std::uint32_t> OwnPaint(double presComp, const IRectangle& r) {
    PluginExporter core(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*core.Plugin());
    core.SetParameterNormalized(kPresComp, v.GetParam(kPresComp)->ValueToNormalized(presComp));
    IEditor* editor = v.EditorView();
    editor->PaintAll();
    const SysBitmap* s = editor->Surface();
    std::vector<std::uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            out.push_back(PixelWord(s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x]) &
                          0x00FFFFFFu);
    return out;
}

TEST(ClapWinEditor, EmbedsInTheHostsWindowAndSendsTheUsersEditsAsGestures) {
    ClapHostContext host("win test");
    ClapInstance p(host);
    const auto* gui = p.Extension<clap_plugin_gui>(kClapExtGui);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(p.Get(), "win32", false));
    EXPECT_EQ(p.Extension<void>(kClapExtTimerSupport), nullptr);  // the window has timers of its own
    p.Set(kPresComp, 2.5);

    HostWindow window(560, 340);
    ASSERT_TRUE(gui->create(p.Get(), "win32", false));
    clap_window parent{};
    parent.api = "win32";
    parent.win32 = window.Handle();
    ASSERT_TRUE(gui->set_parent(p.Get(), &parent));
    ASSERT_TRUE(gui->show(p.Get()));
    HWND child = window.EditorChild();
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(PumpUntilPainted(child));
    EXPECT_EQ(CaptureWindow(child, kPresCompKnob), OwnPaint(2.5, kPresCompKnob));

    // A click on "Power": the host is asked to flush and gets the gesture.
    host.flushRequests = 0;
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, At(200, 345));
    PostMessageA(child, WM_LBUTTONUP, 0, At(200, 345));
    Pump(120);
    EXPECT_GT(host.flushRequests.load(), 0);
    ClapOutputEvents sent = p.Flush();
    EXPECT_EQ(Sequence(sent.Events(), kPower), "BVE");
    EXPECT_EQ(p.Value(kPower), 0.0);

    // A 32-pixel drag up on "Pres Comp" moves it 32/512 of its range.
    SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, At(128, 296));
    SendMessageA(child, WM_MOUSEMOVE, MK_LBUTTON, At(128, 264));
    SendMessageA(child, WM_LBUTTONUP, 0, At(128, 264));
    Pump(60);
    sent = p.Flush();
    EXPECT_EQ(Sequence(sent.Events(), kPresComp), "BVE");
    EXPECT_EQ(p.Value(kPresComp), 4.375);

    gui->destroy(p.Get());
    EXPECT_EQ(window.EditorChild(), nullptr);
}

}  // namespace
