// velmor.so's editor in real X11 windows, driven as a Linux host drives it:
// the entry point, effEditOpen with a frame window, effEditIdle every 10 ms,
// input from the XTest extension, and the window's pixels read back and
// compared with the editor's own paint (an in-process instance at the same
// settings, painting without a window). The window's repaint pace is measured
// on a bare editor whose one control always wants its next frame.
#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "editor/editor.h"
#include "editor/platform_editor.h"
#include "plugin/velmor.h"
#include "raster/png_loader.h"
#include "tests/core/test_effect.h"
#include "tests/vst/plugin_fixture.h"
#include "tools/velmor-host/host_commands.h"
#include "vst/in_process_effect.h"

// Xlib's macros (None, KeyPress, Bool) last: they would rename names in the
// headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "tests/x11/x11_test_host.h"

namespace {

constexpr int kWidth = 456;
constexpr int kHeight = 416;

int OpenDescriptors() {
    int n = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++n;
        closedir(dir);
    }
    return n;
}

int CountOf(VstInt32 opcode, VstInt32 index) {
    int n = 0;
    for (const HostCall& c : TestHost::Get().Calls())
        if (c.opcode == opcode && c.index == index) ++n;
    return n;
}

// One effect from velmor.so, closed with effClose however the test ends.
class Instance {
public:
    Instance() : mEffect(CreatePlugin()) {
        if (mEffect) Dispatch(mEffect, effOpen);
    }
    ~Instance() { Close(); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    AEffect* operator->() const { return mEffect; }
    AEffect* Get() const { return mEffect; }
    VstIntPtr Send(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
        return Dispatch(mEffect, op, index, value, ptr);
    }
    void Close() {
        if (mEffect) Dispatch(mEffect, effClose);
        mEffect = nullptr;
    }

private:
    AEffect* mEffect;
};

struct Setting {
    int index;
    float value;
};

// The meter's lamp warms over 59 paints after the editor opens: windows
// are compared once it has settled, or at their very first frame.
constexpr int kSettleMs = 2700;
constexpr int kSettledTicks = 80;

// The editor's own paint at these settings: an instance in this process,
// painted whole and then for ticks timer ticks, as rows of 0xRRGGBB.
std::vector<std::uint32_t> OwnPaint(const std::vector<Setting>& settings, int ticks = kSettledTicks,
                                    double scale = 1.0) {
    InProcessEffect effect{TestHost::Callback};
    Velmor& v = effect.As<Velmor>();
    AEffect* fx = effect.Record();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    for (const Setting& s : settings) fx->setParameter(fx, s.index, s.value);
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

// X errors in the test's own requests are failures, not exits.
int gTestErrors = 0;
int CountError(Display*, XErrorEvent*) {
    ++gTestErrors;
    return 0;
}

class X11Editor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(display.Get(), nullptr) << "no X display; the test command runs this under Xvfb";
        ASSERT_TRUE(display.HasXTest());
        XSetErrorHandler(CountError);
        gTestErrors = 0;
        TestHost::Get().Reset();
    }
    void TearDown() override { EXPECT_EQ(gTestErrors, 0); }

    // The editor's window inside frame (its only child).
    Window EditorOf(const HostFrame& frame) {
        const std::vector<Window> children = frame.Children();
        EXPECT_EQ(children.size(), 1u);
        return children.empty() ? 0 : children.front();
    }
    std::vector<std::uint32_t> Shown(const HostFrame& frame) {
        return WindowPixels(display.Get(), EditorOf(frame), kWidth, kHeight);
    }

    X11TestDisplay display;
};

TEST_F(X11Editor, OffersAnEditorOfItsSize) {
    Instance fx;
    EXPECT_EQ(fx->flags, 0x1019);
    ERect* rect = nullptr;
    ASSERT_EQ(fx.Send(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, kHeight);
    EXPECT_EQ(rect->right, kWidth);
}

TEST_F(X11Editor, WindowShowsTheEditorsOwnPaintFromTheFirstFrameOn) {
    const std::vector<Setting> settings{{0, 0.7f}, {1, 1.0f}, {6, 0.25f}};
    Instance fx;
    for (const Setting& s : settings) fx->setParameter(fx.Get(), s.index, s.value);
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    ASSERT_EQ(fx.Send(effEditOpen, 0, 0, frame.Parent()), 1);
    // Before any effEditIdle: the frame painted at open is on screen.
    const std::vector<std::uint32_t> expected = OwnPaint(settings, 0);
    EXPECT_EQ(Differences(Shown(frame), expected), 0);

    // A host change reaches the screen through the timer.
    fx->setParameter(fx.Get(), 2, 1.0f);
    fx->setParameter(fx.Get(), 0, 0.2f);
    IdleFor({fx.Get()}, {&frame}, kSettleMs);
    const std::vector<Setting> changed{{0, 0.2f}, {1, 1.0f}, {6, 0.25f}, {2, 1.0f}};
    const std::vector<std::uint32_t> after = OwnPaint(changed);
    EXPECT_NE(Differences(after, expected), 0);
    EXPECT_EQ(Differences(Shown(frame), after), 0);
    // What the host set, and the frames that showed it, are no edits.
    for (VstInt32 op : {audioMasterAutomate, audioMasterBeginEdit, audioMasterEndEdit})
        EXPECT_EQ(TestHost::Get().CountOf(op), 0) << op;

    // Covered and uncovered: the exposed area is painted again.
    {
        HostFrame cover(display.Get(), 100, 100, 200, 200);
        IdleFor({fx.Get()}, {&frame}, 50);
    }
    IdleFor({fx.Get()}, {&frame}, 100);
    EXPECT_EQ(Differences(Shown(frame), after), 0);
    EXPECT_EQ(fx.Send(effEditClose), 1);
}

TEST_F(X11Editor, PointerAndKeysReachTheControlsAndTheHost) {
    Instance fx;
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    ASSERT_EQ(fx.Send(effEditOpen, 0, 0, frame.Parent()), 1);
    IdleFor({fx.Get()}, {&frame}, 100);
    auto idle = [&] { IdleFor({fx.Get()}, {&frame}, 120); };

    // A click switches "Power" (it covers the small switches' top rows) or
    // "Presence", in one gesture each.
    struct Click {
        int index, x, y;
    };
    for (const Click& c : {Click{7, 200, 345}, Click{2, 200, 370}}) {
        TestHost::Get().Reset();
        const float before = fx->getParameter(fx.Get(), c.index);
        display.Click(Button1, c.x, c.y);
        idle();
        EXPECT_NE(fx->getParameter(fx.Get(), c.index), before) << c.index;
        EXPECT_EQ(CountOf(audioMasterBeginEdit, c.index), 1) << c.index;
        EXPECT_EQ(CountOf(audioMasterEndEdit, c.index), 1) << c.index;
        EXPECT_EQ(CountOf(audioMasterAutomate, c.index), 1) << c.index;
    }

    // Drags in four steps: 32 px up over "Pres Comp", the same over "Db
    // Output" with Control held (ten times finer), and 240 px down over "Pres
    // Comp", ending below the window, where the grab keeps it with the knob.
    struct Drag {
        int index, x, y, step;
        bool control;
    };
    const Drag drags[] = {{0, 94, 262, -8, false}, {6, 294, 262, -8, true}, {0, 94, 262, 60, false}};
    double change[3] = {};
    for (int i = 0; i < 3; ++i) {
        const Drag& d = drags[i];
        TestHost::Get().Reset();
        const float before = fx->getParameter(fx.Get(), d.index);
        if (d.control) display.Key(XK_Control_L, true);
        display.MoveTo(d.x, d.y);
        display.Button(Button1, true);
        idle();
        for (int step = 1; step <= 4; ++step) {
            display.MoveTo(d.x, d.y + d.step * step);
            idle();
        }
        display.Button(Button1, false);
        if (d.control) display.Key(XK_Control_L, false);
        idle();
        change[i] = fx->getParameter(fx.Get(), d.index) - before;
        EXPECT_EQ(change[i] > 0.0, d.step < 0) << i << " " << change[i];
        EXPECT_NE(change[i], 0.0) << i;
        EXPECT_EQ(CountOf(audioMasterBeginEdit, d.index), 1) << i;
        EXPECT_EQ(CountOf(audioMasterEndEdit, d.index), 1) << i;
        EXPECT_GE(CountOf(audioMasterAutomate, d.index), 4) << i;
    }
    EXPECT_NEAR(change[0] / change[1], 10.0, 0.5);
    // All 240 px of the last drag counted, not only the 154 inside the window.
    EXPECT_NEAR(change[2], -7.5 * change[0], 1e-4);

    // The wheel: 4 up one step, 5 down one step, 6 and 7 nothing.
    struct Wheel {
        unsigned int button;
        double change;
    };
    for (const Wheel& w : {Wheel{4, 0.01}, Wheel{5, -0.01}, Wheel{6, 0.0}, Wheel{7, 0.0}}) {
        const float before = fx->getParameter(fx.Get(), 6);
        display.Click(w.button, 294, 262);
        idle();
        EXPECT_NEAR(fx->getParameter(fx.Get(), 6) - before, w.change, 1e-5) << w.button;
    }

    // A fast second press is a double click: the switch turns twice, but
    // only the first press opened a gesture (two releases close one each).
    TestHost::Get().Reset();
    const float lowCut = fx->getParameter(fx.Get(), 1);
    display.Click(Button1, 255, 370);
    display.Click(Button1, 255, 370);
    idle();
    EXPECT_EQ(fx->getParameter(fx.Get(), 1), lowCut);
    EXPECT_EQ(CountOf(audioMasterAutomate, 1), 2);
    EXPECT_EQ(CountOf(audioMasterBeginEdit, 1), 1);
    EXPECT_EQ(CountOf(audioMasterEndEdit, 1), 2);
    // Two presses far apart in space are two clicks: two gestures.
    TestHost::Get().Reset();
    display.Click(Button1, 255, 370);
    display.Click(Button1, 200, 370);
    idle();
    EXPECT_EQ(CountOf(audioMasterBeginEdit, 1), 1);
    EXPECT_EQ(CountOf(audioMasterBeginEdit, 2), 1);

    // Keys: no control takes one, so each press and release goes on to the
    // host's top-level window as it was.
    display.MoveTo(20, 20);
    idle();
    const std::size_t earlier = frame.Keys().size();  // Control, held for the drag
    const unsigned long keys[] = {XK_a, XK_space, XK_Left, XK_F5};
    for (unsigned long k : keys) {
        display.Key(k, true);
        display.Key(k, false);
    }
    idle();
    std::vector<XKeyEvent> got = frame.Keys();
    got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(earlier));
    ASSERT_EQ(got.size(), 2 * std::size(keys));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].type, i % 2 == 0 ? KeyPress : KeyRelease) << i;
        EXPECT_EQ(got[i].keycode, XKeysymToKeycode(display.Get(), keys[i / 2])) << i;
        EXPECT_EQ(got[i].window, frame.Id());
    }
    EXPECT_EQ(fx.Send(effEditClose), 1);
}

TEST_F(X11Editor, ReopensAndRunsBesideASecondInstance) {
    const int descriptors = OpenDescriptors();
    Instance a;
    Instance b;
    HostFrame frameA(display.Get(), 0, 0, kWidth, kHeight);
    HostFrame frameB(display.Get(), 500, 0, kWidth, kHeight);
    ASSERT_EQ(b.Send(effEditOpen, 0, 0, frameB.Parent()), 1);
    b->setParameter(b.Get(), 0, 0.9f);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(a.Send(effEditOpen, 0, 0, frameA.Parent()), 1) << i;
        IdleFor({a.Get(), b.Get()}, {&frameA, &frameB}, i % 8 == 0 ? 50 : 0);
        ASSERT_EQ(a.Send(effEditClose), 1);
        EXPECT_TRUE(frameA.Children().empty()) << i;
    }
    // Opened twice without a close: one window, the second.
    ASSERT_EQ(a.Send(effEditOpen, 0, 0, frameA.Parent()), 1);
    ASSERT_EQ(a.Send(effEditOpen, 0, 0, frameA.Parent()), 1);
    IdleFor({a.Get(), b.Get()}, {&frameA, &frameB}, kSettleMs);
    EXPECT_EQ(frameA.Children().size(), 1u);
    EXPECT_EQ(Differences(Shown(frameA), OwnPaint({})), 0);
    EXPECT_EQ(Differences(Shown(frameB), OwnPaint({{0, 0.9f}})), 0);
    a.Send(effEditClose);
    b.Send(effEditClose);
    EXPECT_EQ(OpenDescriptors(), descriptors + 0);
}

TEST_F(X11Editor, HostsThatMisbehaveBreakNothing) {
    const int descriptors = OpenDescriptors();
    struct Case {
        const char* what;
        bool idleAfterDestroy;  // the editor sees its window go
        bool closeEditor;       // effEditClose, or straight to effClose
        bool destroyFrame;
    };
    const Case cases[] = {
        {"frame destroyed, idled, closed", true, true, true},
        {"frame destroyed, closed at once", false, true, true},
        {"frame destroyed, effClose without effEditClose", false, false, true},
        {"effClose with the window open", false, false, false},
        {"never idled", false, true, false},
    };
    for (const Case& c : cases) {
        Instance fx;
        HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
        ASSERT_EQ(fx.Send(effEditOpen, 0, 0, frame.Parent()), 1) << c.what;
        fx->setParameter(fx.Get(), 0, 0.3f);
        if (c.destroyFrame) frame.Destroy();
        if (c.idleAfterDestroy) IdleFor({fx.Get()}, {}, 50);
        if (c.closeEditor) {
            EXPECT_EQ(fx.Send(effEditClose), 1) << c.what;
        }
        fx.Close();
        EXPECT_EQ(OpenDescriptors(), descriptors) << c.what;
    }
    // A parent that is no window fails the open, and the instance lives on.
    Instance fx;
    EXPECT_EQ(fx.Send(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x7fffff01})), 0);
    EXPECT_EQ(fx.Send(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(OpenDescriptors(), descriptors + 0);
}

// On a screen of 1.5 or 2 times the density (the server's Xft.dpi) the
// window is that much larger and shows the editor's own paint at that scale;
// clicks at the scaled places hit the same controls, and a drag moves a knob
// by the editor's distances (32 editor pixels give 1/16 of its range).
TEST_F(X11Editor, DenseScreensGetTheEditorAtTheirScaleWithTheSameControls) {
    for (double scale : {2.0, 1.5}) {
        SCOPED_TRACE(scale);
        const int w = static_cast<int>(kWidth * scale), h = static_cast<int>(kHeight * scale);
        const auto at = [scale](int editorPixel) { return static_cast<int>(editorPixel * scale + 0.5); };
        ServerDpi dpi(display.Get(), static_cast<int>(96 * scale));
        Instance fx;
        ERect* rect = nullptr;
        ASSERT_EQ(fx.Send(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, w);
        EXPECT_EQ(rect->bottom, h);
        HostFrame frame(display.Get(), 0, 0, w, h);
        ASSERT_EQ(fx.Send(effEditOpen, 0, 0, frame.Parent()), 1);
        IdleFor({fx.Get()}, {&frame}, kSettleMs);
        EXPECT_EQ(Differences(WindowPixels(display.Get(), EditorOf(frame), w, h), OwnPaint({}, kSettledTicks, scale)),
                  0);

        display.Click(Button1, at(200), at(345));  // "Power"
        IdleFor({fx.Get()}, {&frame}, 120);
        EXPECT_EQ(fx->getParameter(fx.Get(), 7), 0.0f);

        fx->setParameter(fx.Get(), 0, 0.5f);
        display.MoveTo(at(94), at(262));
        display.Button(Button1, true);
        IdleFor({fx.Get()}, {&frame}, 60);
        display.MoveTo(at(94), at(262 - 32));
        IdleFor({fx.Get()}, {&frame}, 60);
        display.Button(Button1, false);
        IdleFor({fx.Get()}, {&frame}, 60);
        EXPECT_FLOAT_EQ(fx->getParameter(fx.Get(), 0), 0.5625f);
        EXPECT_EQ(fx.Send(effEditClose), 1);
    }
}

// A host's content scale while the window is open: the window is made
// again at the new size, the host is asked to resize its frame, and nothing
// is left behind when it goes back.
TEST_F(X11Editor, AScaleChangeWhileOpenResizesTheWindowAndTellsTheHost) {
    const int descriptors = OpenDescriptors();
    Instance fx;
    HostFrame frame(display.Get(), 0, 0, 2 * kWidth, 2 * kHeight);
    ASSERT_EQ(fx.Send(effEditOpen, 0, 0, frame.Parent()), 1);
    IdleFor({fx.Get()}, {&frame}, 100);
    const VstInt32 vendor = VstFourCC('P', 'r', 'e', 'S');
    const VstIntPtr contentScale = VstFourCC('A', 'e', 'C', 's');
    for (float scale : {2.0f, 1.0f, 1.75f, 1.0f}) {
        TestHost::Get().Reset();
        EXPECT_EQ(Dispatch(fx.Get(), effVendorSpecific, vendor, contentScale, nullptr, scale), 1);
        IdleFor({fx.Get()}, {&frame}, 100);
        XWindowAttributes a{};
        ASSERT_TRUE(XGetWindowAttributes(display.Get(), EditorOf(frame), &a));
        const int w = static_cast<int>(kWidth * scale + 0.5f), h = static_cast<int>(kHeight * scale + 0.5f);
        EXPECT_EQ(a.width, w) << scale;
        EXPECT_EQ(a.height, h) << scale;
        ASSERT_EQ(TestHost::Get().CountOf(audioMasterSizeWindow), 1) << scale;
        ERect* rect = nullptr;
        ASSERT_EQ(fx.Send(effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, w);
    }
    EXPECT_EQ(fx.Send(effEditClose), 1);
    fx.Close();
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

// effEditOpen's value is the host's business (a Display, 0 or anything):
// it is never read. Without a display of its own the editor does not open.
TEST_F(X11Editor, EditOpenNeverReadsItsValue) {
    Instance fx;
    HostFrame frame(display.Get(), 0, 0, kWidth, kHeight);
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    const VstIntPtr values[] = {0, 0x1234, -1, reinterpret_cast<VstIntPtr>(display.Get())};
    for (VstIntPtr value : values) EXPECT_EQ(fx.Send(effEditOpen, 0, value, frame.Parent()), 0) << value;
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(fx.Send(effEditOpen, 0, 0x1234, frame.Parent()), 1);
    EXPECT_EQ(fx.Send(effEditClose), 1);
}

// Asks for its next frame at every paint, as the meter's lamp does while it
// warms up: the window's repaint timer alone sets the pace.
class Animation : public IWidget {
public:
    explicit Animation(IEffectBase* plugin) : IWidget(plugin, IRectangle{0, 0, 64, 48}, -1, IBlend{}) {}
    void Paint(IEditor&) override { ++frames; }
    void FinishPaint() override {
        IWidget::FinishPaint();
        MarkDirty(false);
    }
    int frames = 0;
};

// A host that stops idling for a second and then idles far faster than the
// frame rate: one frame at once, then the ordinary pace, not a burst that
// makes up for the frames missed.
TEST_F(X11Editor, KeepsItsFrameRateAfterTheHostStallsIdle) {
    constexpr int kFrameRate = 25;  // a frame every 40 ms
    TestEffect effect;
    std::unique_ptr<IEditor> editor = CreatePlatformEditor(&effect, 64, 48, kFrameRate, nullptr);
    auto owned = std::make_unique<Animation>(&effect);
    const Animation* animation = owned.get();
    editor->AddControl(std::move(owned));
    HostFrame frame(display.Get(), 0, 0, 64, 48);
    ASSERT_TRUE(editor->OpenWindow(frame.Parent()));
    auto idleEveryMs = [&](int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            editor->Idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
    };
    idleEveryMs(200);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int before = animation->frames;
    idleEveryMs(500);
    // 1 at once, then one each 40 ms (a tick may come 4 ms early): at 36,
    // 76, ..., 476 ms, 13 in all; one more for a call at the very end.
    const int frames = animation->frames - before;
    EXPECT_LE(frames, 14);
    EXPECT_GE(frames, 1);
    editor->CloseWindow();
}

// velmor-host's editor command photographs the window it opens.
TEST_F(X11Editor, HostCommandPhotographsTheEditor) {
    const std::string out = ::testing::TempDir() + "velmor-x11-editor.png";
    std::remove(out.c_str());
    HostEnvironment environment;
    environment.defaultPluginPath = VELMOR_PLUGIN_PATH;
    std::ostringstream said;
    std::ostringstream errors;
    const std::vector<std::string> args{"editor", out,          "--set",   "Pres Comp=10",
                                        "--set",  "Low Cut=on", "--after", std::to_string(kSettleMs)};
    ASSERT_EQ(RunHost(args, environment, said, errors), 0) << errors.str();
    MemBitmap photo;
    ASSERT_NE(LoadPngFromFile(out.c_str(), &photo), nullptr);
    ASSERT_EQ(photo.Width(), kWidth);
    ASSERT_EQ(photo.Height(), kHeight);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const PackedPixel p = photo.PixelPointer()[static_cast<std::ptrdiff_t>(y) * photo.RowStride() + x];
            pixels.push_back(static_cast<std::uint32_t>(p.r) << 16 | static_cast<std::uint32_t>(p.g) << 8 | p.b);
        }
    }
    EXPECT_EQ(Differences(pixels, OwnPaint({{0, 0.5f}, {1, 1.0f}})), 0);
    std::remove(out.c_str());

    // Without a display: one line, a failure, no file.
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    std::ostringstream none;
    const int status = RunHost(args, environment, said, none);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(none.str(), "velmor-host: no X display (DISPLAY is not set); the editor command needs one\n");
    EXPECT_FALSE(std::ifstream(out).good());
}

}  // namespace
