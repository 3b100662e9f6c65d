// Velmor.vst3's editor in real X11 windows, driven as a Linux VST 3 host
// drives it: createView, setFrame with a frame that is also the host's run
// loop, attached with the frame window's id, the run loop's timers called
// from the host's loop, input from the XTest extension, and the window's
// pixels read back and compared with the editor's own paint (an in-process
// instance at the same settings, painting without a window).
#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <thread>
#include <vector>

#include "core/exporter.h"
#include "core/plugin_factory.h"
#include "editor/editor.h"
#include "plugin/velmor.h"
#include "tests/vst3/vst3_test_instance.h"

// Xlib's macros last.
#include <X11/Xlib.h>

#include "tests/x11/x11_test_host.h"

namespace {

using namespace vst3;

constexpr int kWidth = 456;
constexpr int kHeight = 416;
constexpr int kSettleMs = 2700;  // the meter's lamp has warmed up by then
constexpr int kSettledTicks = 80;
constexpr int kPresComp = 0, kDbOutput = 6, kPower = 7;

struct Setting {
    int id;
    double value;
};

int OpenDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}

// The editor's own paint at these settings and scale, after ticks timer
// ticks.
std::vector<std::uint32_t> OwnPaint(const std::vector<Setting>& settings, int ticks = kSettledTicks,
                                    double scale = 1.0) {
    PluginExporter exporter(CreatePluginInstance(), nullptr);
    auto& v = static_cast<Velmor&>(*exporter.Plugin());
    for (int i = 0; i < v.ParamCount(); ++i) v.OnParameterChange(i);
    for (const Setting& s : settings) exporter.SetParameterNormalized(s.id, s.value);
    IEditor* editor = v.EditorView();
    editor->SetScale(scale);
    editor->PaintAll();
    for (int i = 0; i < ticks; ++i) editor->RepaintDirty();
    std::vector<std::uint32_t> pixels;
    const SysBitmap* s = editor->Surface();
    for (int y = 0; y < s->Height(); ++y) {
        for (int x = 0; x < s->Width(); ++x) {
            const PackedPixel p = s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x];
            pixels.push_back(static_cast<std::uint32_t>(p.r) << 16 | static_cast<std::uint32_t>(p.g) << 8 | p.b);
        }
    }
    return pixels;
}

int Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

// The host's GUI loop for ms milliseconds: the run loops' timers, then the
// frame windows' events.
void RunLoopFor(std::initializer_list<HostPlugFrame*> loops, std::initializer_list<HostFrame*> frames, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        for (HostPlugFrame* l : loops) l->RunDue();
        for (HostFrame* f : frames) f->Drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

// An instance with its view, attached by Open and removed by Close.
class Editor {
public:
    Editor() {
        std::string error;
        EXPECT_TRUE(fx.Start(48000.0, 512, 2, error)) << error;
        fx.Handler().Reset();  // the latency at this rate, announced at set-up
    }
    ~Editor() { Close(); }
    bool Open(const HostFrame& window) {
        Close();
        view = fx.Controller()->createView(kEditorViewType);
        if (!view) return false;
        view->setFrame(&loop);
        return view->attached(window.Parent(), kPlatformTypeX11EmbedWindowID) == kResultOk;
    }
    void Close() {
        if (!view) return;
        view->removed();
        view->setFrame(nullptr);
        view->release();
        view = nullptr;
    }
    Vst3TestInstance fx;
    HostPlugFrame loop;
    IPlugView* view = nullptr;
};

int gTestErrors = 0;
int CountError(Display*, XErrorEvent*) {
    ++gTestErrors;
    return 0;
}

class X11Vst3Editor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.Get(), nullptr) << "no X display; the test command runs this under Xvfb";
        ASSERT_TRUE(display.HasXTest());
        XSetErrorHandler(CountError);
        gTestErrors = 0;
    }
    void TearDown() override { EXPECT_EQ(gTestErrors, 0); }
    std::vector<std::uint32_t> Shown(const HostFrame& frame, int width = kWidth, int height = kHeight) {
        const std::vector<Window> children = frame.Children();
        EXPECT_EQ(children.size(), 1u);
        return children.empty() ? std::vector<std::uint32_t>()
                                : WindowPixels(display.Get(), children[0], width, height);
    }
    X11TestDisplay display;
};

TEST_F(X11Vst3Editor, TheViewIsThePanelAndAttachesOnlyWhereAHostLoopDrivesIt) {
    Editor e;
    EXPECT_EQ(e.fx.Controller()->createView("another"), nullptr);
    IPlugView* view = e.fx.Controller()->createView(nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);  // before attached, as hosts ask
    EXPECT_EQ(size.right - size.left, kWidth);
    EXPECT_EQ(size.bottom - size.top, kHeight);
    EXPECT_NE(view->canResize(), kResultTrue);
    ViewRect wish{10, 10, 900, 900};
    EXPECT_EQ(view->checkSizeConstraint(&wish), kResultTrue);
    EXPECT_EQ(wish.right - wish.left, kWidth);
    EXPECT_EQ(wish.bottom - wish.top, kHeight);

    HostFrame window(display.Get(), 0, 0, kWidth, kHeight);
    HostPlugFrame noLoop;
    noLoop.mOffersRunLoop = false;
    view->setFrame(&noLoop);
    EXPECT_EQ(view->attached(window.Parent(), kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_TRUE(window.Children().empty());
    view->setFrame(&e.loop);
    EXPECT_NE(view->attached(window.Parent(), kPlatformTypeHWND), kResultOk);
    EXPECT_NE(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultOk);
    ASSERT_EQ(view->attached(window.Parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
    EXPECT_EQ(window.Children().size(), 1u);
    ASSERT_EQ(e.loop.TimerCount(), 1);
    EXPECT_GE(e.loop.TimerInterval(0), 10u);
    EXPECT_LE(e.loop.TimerInterval(0), 40u);
    // One editor per instance: a second view, or a second attach, is refused.
    EXPECT_EQ(view->attached(window.Parent(), kPlatformTypeX11EmbedWindowID), kResultFalse);
    IPlugView* second = e.fx.Controller()->createView(kEditorViewType);
    second->setFrame(&e.loop);
    EXPECT_EQ(second->attached(window.Parent(), kPlatformTypeX11EmbedWindowID), kResultFalse);
    second->setFrame(nullptr);
    second->release();  // released without ever attaching
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(e.loop.TimerCount(), 0);
    XSync(display.Get(), False);
    EXPECT_TRUE(window.Children().empty());
    view->setFrame(nullptr);
    view->release();
}

TEST_F(X11Vst3Editor, WindowShowsTheEditorsOwnPaintAndTheHostsChanges) {
    const std::vector<Setting> settings{{kPresComp, 0.7}, {1, 1.0}, {kDbOutput, 0.25}};
    Editor e;
    for (const Setting& s : settings) e.fx.SetParameter(s.id, s.value);
    HostFrame window(display.Get(), 0, 0, kWidth, kHeight);
    ASSERT_TRUE(e.Open(window));
    EXPECT_EQ(Differences(Shown(window), OwnPaint(settings, 0)), 0);  // the frame painted at attach

    // The host's changes (the controller's value, then the audio's) reach
    // the screen through the run loop's timer; none is an edit.
    e.fx.SetParameter(2, 1.0);
    e.fx.SetParameter(kPresComp, 0.2);
    RunLoopFor({&e.loop}, {&window}, kSettleMs);
    const std::vector<std::uint32_t> after = OwnPaint({{kPresComp, 0.2}, {1, 1.0}, {kDbOutput, 0.25}, {2, 1.0}});
    EXPECT_EQ(Differences(Shown(window), after), 0);
    EXPECT_TRUE(e.fx.Handler().Calls().empty());
}

TEST_F(X11Vst3Editor, PointerGesturesReachTheHostAsBeginPerformAndEnd) {
    Editor e;
    HostFrame window(display.Get(), 0, 0, kWidth, kHeight);
    ASSERT_TRUE(e.Open(window));
    RunLoopFor({&e.loop}, {&window}, 100);
    auto idle = [&] { RunLoopFor({&e.loop}, {&window}, 120); };
    HostComponentHandler& h = e.fx.Handler();

    // A click on "Power": one gesture, the controller's value and the audio's.
    const std::vector<std::uint8_t> before = e.fx.SaveState();
    display.Click(Button1, 200, 345);
    idle();
    EXPECT_EQ(h.Count(HandlerCall::kBegin, kPower), 1);
    EXPECT_EQ(h.Count(HandlerCall::kPerform, kPower), 1);
    EXPECT_EQ(h.Count(HandlerCall::kEnd, kPower), 1);
    EXPECT_DOUBLE_EQ(e.fx.GetParameter(kPower), 0.0);
    EXPECT_NE(e.fx.SaveState(), before);
    std::vector<HandlerCall> calls = h.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, HandlerCall::kBegin);
    EXPECT_EQ(calls[1].kind, HandlerCall::kPerform);
    EXPECT_EQ(calls[2].kind, HandlerCall::kEnd);

    // A drag up over "Pres Comp" in four steps: one gesture, the host told
    // every step, the controller at the last value told.
    h.Reset();
    const double presComp = e.fx.GetParameter(kPresComp);
    display.MoveTo(94, 262);
    display.Button(Button1, true);
    idle();
    for (int step = 1; step <= 4; ++step) {
        display.MoveTo(94, 262 - 8 * step);
        idle();
    }
    display.Button(Button1, false);
    idle();
    EXPECT_EQ(h.Count(HandlerCall::kBegin, kPresComp), 1);
    EXPECT_EQ(h.Count(HandlerCall::kEnd, kPresComp), 1);
    EXPECT_GE(h.Count(HandlerCall::kPerform, kPresComp), 4);
    EXPECT_GT(e.fx.GetParameter(kPresComp), presComp);
    calls = h.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].value, e.fx.GetParameter(kPresComp));
}

// The host's content scale: before attached it sizes the view and the
// window (912 x 832 at 2, the editor's own paint at that scale); while
// attached each change asks the frame once for the new size and the window
// is made again and painted at it; nothing is left behind.
TEST_F(X11Vst3Editor, TheContentScaleSizesAndPaintsTheViewBeforeAndWhileAttached) {
    const int descriptors = OpenDescriptors();
    {
        Editor e;
        IPlugView* view = e.fx.Controller()->createView(kEditorViewType);
        void* found = nullptr;
        ASSERT_EQ(view->queryInterface(kIPlugViewContentScaleSupportIid.Data(), &found), kResultOk);
        auto* scaling = static_cast<IPlugViewContentScaleSupport*>(found);
        EXPECT_EQ(scaling->setContentScaleFactor(0.0f), kInvalidArgument);
        ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultTrue);
        ViewRect size{};
        ASSERT_EQ(view->getSize(&size), kResultOk);
        EXPECT_EQ(size.right - size.left, 912);
        EXPECT_EQ(size.bottom - size.top, 832);
        HostFrame window(display.Get(), 0, 0, 912, 832);
        view->setFrame(&e.loop);
        ASSERT_EQ(view->attached(window.Parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
        EXPECT_EQ(e.loop.Resizes(), 0);
        EXPECT_EQ(Differences(Shown(window, 912, 832), OwnPaint({}, 0, 2.0)), 0);
        // Each paint moves the lamp's fade: once it has settled, a window
        // made again shows what a settled editor paints.
        RunLoopFor({&e.loop}, {&window}, kSettleMs);

        int resizes = 0;
        float current = 2.0f;
        for (float scale : {1.5f, 1.5f, 1.0f, 2.0f}) {
            SCOPED_TRACE(scale);
            const int w = static_cast<int>(kWidth * scale), h = static_cast<int>(kHeight * scale);
            ASSERT_EQ(scaling->setContentScaleFactor(scale), kResultTrue);
            resizes += scale != current ? 1 : 0;  // the same scale again asks nothing
            current = scale;
            EXPECT_EQ(e.loop.Resizes(), resizes);
            ASSERT_EQ(view->getSize(&size), kResultOk);
            EXPECT_EQ(size.right - size.left, w);
            EXPECT_EQ(size.bottom - size.top, h);
            EXPECT_EQ(Differences(Shown(window, w, h), OwnPaint({}, kSettledTicks, scale)), 0);
            RunLoopFor({&e.loop}, {&window}, 60);
            EXPECT_EQ(e.loop.TimerCount(), 1);
        }
        scaling->release();
        EXPECT_EQ(view->removed(), kResultOk);
        view->setFrame(nullptr);
        view->release();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(X11Vst3Editor, ReopensAndRunsBesideASecondInstance) {
    const int descriptors = OpenDescriptors();
    {
        Editor a, b;
        b.fx.SetParameter(kPresComp, 0.9);
        HostFrame windowA(display.Get(), 0, 0, kWidth, kHeight);
        HostFrame windowB(display.Get(), 500, 0, kWidth, kHeight);
        ASSERT_TRUE(b.Open(windowB));
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(a.Open(windowA)) << i;
            RunLoopFor({&a.loop, &b.loop}, {&windowA, &windowB}, i % 5 == 0 ? 40 : 0);
            a.Close();
            XSync(display.Get(), False);
            EXPECT_TRUE(windowA.Children().empty()) << i;
        }
        ASSERT_TRUE(a.Open(windowA));
        RunLoopFor({&a.loop, &b.loop}, {&windowA, &windowB}, kSettleMs);
        EXPECT_EQ(Differences(Shown(windowA), OwnPaint({})), 0);
        EXPECT_EQ(Differences(Shown(windowB), OwnPaint({{kPresComp, 0.9}})), 0);
    }
    // A view the host keeps after releasing the instance keeps it alive.
    {
        Vst3TestInstance* fx = new Vst3TestInstance();
        std::string error;
        ASSERT_TRUE(fx->Start(48000.0, 512, 2, error)) << error;
        IPlugView* view = fx->Controller()->createView(kEditorViewType);
        delete fx;
        ViewRect size{};
        EXPECT_EQ(view->getSize(&size), kResultOk);
        EXPECT_EQ(view->release(), 0u);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
