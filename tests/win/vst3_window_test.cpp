// Velmor.vst3's Windows binary, loaded with LoadLibrary and reached through
// GetPluginFactory as a Windows host does, with its editor attached to a
// host window as an HWND and driven with window messages; the window must
// show what an in-process Velmor paints at the same settings. (Processing
// and state run through the same binary in the VST 3 plug-in and
// conformance tests of this build.)
#include <gtest/gtest.h>

#include <vector>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "plugin/velmor.h"
#include "tests/vst3/vst3_test_instance.h"
#include "tests/win/win_test_host.h"

namespace {

using namespace vst3;

constexpr int kWidth = 456, kHeight = 416;
constexpr int kPresComp = 0, kPower = 7;
const IRectangle kWholeEditor{0, 0, kWidth, kHeight};

LPARAM At(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x)) |
           (static_cast<LPARAM>(static_cast<std::uint16_t>(y)) << 16);
}

// The editor's own paint at this normalised Pres Comp and Power, settled.
std::vector<std::uint32_t> OwnPaint(double presComp, double power) {
    PluginExporter exporter(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*exporter.Plugin());
    for (int i = 0; i < v.ParamCount(); ++i) v.OnParameterChange(i);
    exporter.SetParameterNormalized(kPresComp, presComp);
    exporter.SetParameterNormalized(kPower, power);
    IEditor* e = v.EditorView();
    for (int i = 0; i < 80; ++i) e->RepaintDirty();
    e->PaintAll();
    const SysBitmap* s = e->Surface();
    std::vector<std::uint32_t> out;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            out.push_back(PixelWord(s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x]) &
                          0x00FFFFFFu);
    return out;
}

// Pumps until the window shows expected, or 6 s pass; the pixels differing.
int WaitUntilShown(HWND window, const std::vector<std::uint32_t>& expected) {
    int differing = -1;
    for (int waited = 0; waited <= 6000; waited += 100) {
        const std::vector<std::uint32_t> shown = CaptureWindow(window, kWholeEditor);
        differing = 0;
        for (std::size_t i = 0; i < shown.size() && i < expected.size(); ++i) differing += shown[i] != expected[i];
        if (shown.size() != expected.size()) differing = -1;
        if (differing == 0) break;
        Pump(100);
    }
    return differing;
}

TEST(Vst3Window, TheEditorOpensInAnHwndAndAnswersRealMessages) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Start(48000.0, 512, 2, error)) << error;
    fx.SetParameter(kPresComp, 0.75);
    IPlugView* view = fx.Controller()->createView(kEditorViewType);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    HostPlugFrame frame;
    view->setFrame(&frame);

    // A parent that is gone: refused, nothing made.
    HWND dead = nullptr;
    {
        HostWindow gone(0, 0);
        dead = gone.Handle();
    }
    EXPECT_NE(view->attached(dead, kPlatformTypeHWND), kResultOk);

    static HostWindow host(560, 340);
    ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
    HWND child = host.EditorChild();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetAncestor(child, GA_PARENT), host.Handle());
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    EXPECT_EQ(WaitUntilShown(child, OwnPaint(0.75, 1.0)), 0);

    // A click on "Power" is one gesture the host hears, then on screen.
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, At(200, 345));
    PostMessageA(child, WM_LBUTTONUP, 0, At(200, 345));
    Pump(60);
    HostComponentHandler& h = fx.Handler();
    EXPECT_EQ(h.Count(HandlerCall::kBegin, kPower), 1);
    EXPECT_EQ(h.Count(HandlerCall::kPerform, kPower), 1);
    EXPECT_EQ(h.Count(HandlerCall::kEnd, kPower), 1);
    EXPECT_DOUBLE_EQ(fx.GetParameter(kPower), 0.0);
    EXPECT_EQ(WaitUntilShown(child, OwnPaint(0.75, 0.0)), 0);

    EXPECT_EQ(view->removed(), kResultOk);
    Pump(10);
    EXPECT_EQ(host.EditorChild(), nullptr);
    // And again, in the same parent.
    ASSERT_EQ(view->attached(host.Handle(), kPlatformTypeHWND), kResultOk);
    EXPECT_NE(host.EditorChild(), nullptr);
    EXPECT_EQ(view->removed(), kResultOk);
    view->setFrame(nullptr);
    EXPECT_EQ(view->release(), 0u);
}

}  // namespace
