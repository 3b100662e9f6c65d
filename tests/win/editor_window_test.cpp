// Velmor.dll's editor in a real Win32 window, driven with window messages as
// a user's mouse and keyboard (through a host) drive it, and seen through
// captures of the window.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "raster/mem_bitmap.h"
#include "raster/png_encode.h"
#include "tests/win/editor_window_fixture.h"

namespace {

TEST_F(EditorWindowTest, OpensAnEditorSizedChildAndAnswersItsRect) {
    EXPECT_EQ(fx->flags, 0x1019);
    ERect* rect = nullptr;
    ASSERT_EQ(Dispatch(fx, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 416);
    EXPECT_EQ(rect->right, 456);

    char title[32] = {};
    GetWindowTextA(child, title, sizeof title);
    EXPECT_STREQ(title, "IEffect");
    EXPECT_EQ(GetAncestor(child, GA_PARENT), host->Handle());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE)) & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    EXPECT_TRUE(GetClassLongPtrA(child, GCL_STYLE) & CS_DBLCLKS);
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 456);
    EXPECT_EQ(client.bottom, 416);
    EXPECT_TRUE(EditorClassRegistered());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Dispatch(fx, effEditIdle), 0);  // the window has a timer of its own

    // No parent, or one that is gone: the open fails and nothing is made.
    AEffect* other = CreatePlugin();
    HostWindow gone(0, 0);
    HWND dead = gone.Handle();
    gone.Destroy();
    EXPECT_EQ(Dispatch(other, effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(other, effEditOpen, 0, 0, dead), 0);
    Dispatch(other, effClose);
    EXPECT_TRUE(EditorClassRegistered());  // still held by fx's window
}

TEST_F(EditorWindowTest, ShowsTheEditorsOwnPaintAndSavesACapture) {
    ProcessSilence(fx);
    SyncReference();
    EXPECT_EQ(WaitUntilShown(kWholeEditor), 0);

    const std::vector<std::uint32_t> shot = CaptureWindow(child, kWholeEditor);
    ASSERT_EQ(shot.size(), 456u * 416u);
    MemBitmap picture(456, 416);
    for (int y = 0; y < 416; ++y)
        for (int x = 0; x < 456; ++x) {
            const std::uint32_t w = shot[static_cast<std::size_t>(y) * 456 + x];
            picture.PixelPointer()[static_cast<std::ptrdiff_t>(y) * picture.RowStride() + x] =
                PackedPixel{static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8),
                            static_cast<std::uint8_t>(w >> 16), 255};
        }
    EXPECT_TRUE(WritePngFile(picture, VELMOR_CAPTURE_DIR "/editor-windows.png"));
}

TEST_F(EditorWindowTest, AClickOnPowerSwitchesItAndShowsItsSecondFrame) {
    IRectangle power{};
    for (int i = 0; i < ref.As<Velmor>().EditorView()->ControlCount(); ++i)
        if (ref.As<Velmor>().EditorView()->Control(i)->ParamIndex() == Velmor::kPower)
            power = ref.As<Velmor>().EditorView()->Control(i)->Rect();
    ASSERT_GT(power.right, power.left);
    const std::vector<std::uint32_t> before = CaptureWindow(child, power);

    ASSERT_EQ(Param(Velmor::kPower), 1.0f);
    TestHost::Get().Reset();
    PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, At(200, 345));
    PostMessageA(child, WM_LBUTTONUP, 0, At(200, 345));
    Pump(60);
    EXPECT_EQ(Param(Velmor::kPower), 0.0f);
    EXPECT_EQ(Param(Velmor::kPresence), 1.0f);  // beneath Power where they overlap
    EXPECT_EQ(HostCalls(audioMasterBeginEdit, Velmor::kPower), 1);
    EXPECT_EQ(HostCalls(audioMasterAutomate, Velmor::kPower), 1);
    EXPECT_EQ(HostCalls(audioMasterEndEdit, Velmor::kPower), 1);
    EXPECT_EQ(GetCapture(), nullptr);

    ProcessSilence(fx);
    SyncReference();
    EXPECT_EQ(WaitUntilShown(power), 0);
    EXPECT_GT(CountDifferences(before, CaptureWindow(child, power)), 0);
    // The meter's lamp fades out with Power off, and then rests.
    EXPECT_EQ(WaitUntilShown(kDriveMeter), 0);
}

TEST_F(EditorWindowTest, DraggingAKnobFollowsTheModifiersAndKeepsTheCaptureOutsideTheWindow) {
    struct Drag {
        WPARAM buttons;
        int toY;
        float expected;  // from 0.25, at 1/512 per pixel, a tenth of it with shift or control
    } drags[] = {
        {MK_LBUTTON, 264, 0.25f + 32.0f / 512},
        {MK_LBUTTON | MK_SHIFT, 264, 0.25f + 3.2f / 512},
        {MK_LBUTTON | MK_CONTROL, 264, 0.25f + 3.2f / 512},
        {MK_RBUTTON, 264, 0.25f + 32.0f / 512},
        {MK_LBUTTON, -28, 0.25f + 324.0f / 512},  // past the window's top edge
    };
    for (const Drag& d : drags) {
        fx->setParameter(fx, Velmor::kPresComp, 0.25f);
        TestHost::Get().Reset();
        Send(d.buttons & MK_RBUTTON ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, d.buttons, At(128, 296));
        EXPECT_EQ(GetCapture(), child);
        Send(WM_MOUSEMOVE, d.buttons, At(128, d.toY));
        Send(d.buttons & MK_RBUTTON ? WM_RBUTTONUP : WM_LBUTTONUP, 0, At(128, d.toY));
        EXPECT_NEAR(Param(Velmor::kPresComp), d.expected, 1e-5) << d.buttons << " to " << d.toY;
        EXPECT_EQ(HostCalls(audioMasterBeginEdit, Velmor::kPresComp), 1);
        EXPECT_EQ(HostCalls(audioMasterAutomate, Velmor::kPresComp), 1);
        EXPECT_EQ(HostCalls(audioMasterEndEdit, Velmor::kPresComp), 1);
        EXPECT_EQ(GetCapture(), nullptr);
    }
    SyncReference();
    EXPECT_EQ(WaitUntilShown(kPresCompKnob), 0);
}

TEST_F(EditorWindowTest, AMoveWithoutAButtonOrWithoutTheCaptureDoesNothing) {
    fx->setParameter(fx, Velmor::kPresComp, 0.25f);
    TestHost::Get().Reset();
    Send(WM_MOUSEMOVE, 0, At(128, 296));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(128, 200));  // a button, but no press in this window
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(128, 296));
    Send(WM_MOUSEMOVE, 0, At(128, 200));
    Send(WM_MOUSEMOVE, MK_MBUTTON, At(128, 150));
    Send(WM_LBUTTONUP, 0, At(128, 150));
    EXPECT_EQ(Param(Velmor::kPresComp), 0.25f);
    EXPECT_EQ(HostCalls(audioMasterAutomate, Velmor::kPresComp), 0);
}

TEST_F(EditorWindowTest, WheelStepsTruncateTowardZeroAtTheScreenPosition) {
    struct Turn {
        short delta;
        WPARAM keys;
        int screenX, screenY;
        float expected;  // from 0.5: 0.01 a notch, 0.001 with shift
    } turns[] = {
        {120, 0, kHostX + 128, kHostY + 296, 0.51f},
        {-240, 0, kHostX + 128, kHostY + 296, 0.48f},
        {60, 0, kHostX + 128, kHostY + 296, 0.5f},     // half a notch: 0 steps
        {-119, 0, kHostX + 128, kHostY + 296, 0.5f},   // toward zero, not down
        {-180, 0, kHostX + 128, kHostY + 296, 0.49f},  // -1.5 notches: one step
        {120, MK_SHIFT, kHostX + 128, kHostY + 296, 0.501f},
        {120, 0, 128, 296, 0.5f},  // the same numbers as client coordinates miss the knob
    };
    for (const Turn& t : turns) {
        fx->setParameter(fx, Velmor::kPresComp, 0.5f);
        Send(WM_MOUSEWHEEL, MAKEWPARAM(t.keys, static_cast<WORD>(t.delta)), At(t.screenX, t.screenY));
        EXPECT_NEAR(Param(Velmor::kPresComp), t.expected, 1e-6) << t.delta << " at " << t.screenX;
    }
}

TEST_F(EditorWindowTest, OnlyTheLeftDoubleClickIsRouted) {
    // The second press of a double click arrives as a double-click message
    // (CS_DBLCLKS). On Power, a routed one switches it again.
    struct Click {
        UINT msg;
        WPARAM buttons;
        float power;
    } clicks[] = {
        {WM_LBUTTONDBLCLK, MK_LBUTTON, 0.0f},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, 1.0f},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, 1.0f},
    };
    for (const Click& c : clicks) {
        fx->setParameter(fx, Velmor::kPower, 1.0f);
        TestHost::Get().Reset();
        Send(c.msg, c.buttons, At(200, 345));
        EXPECT_EQ(Param(Velmor::kPower), c.power) << c.msg;
        EXPECT_EQ(HostCalls(audioMasterBeginEdit, Velmor::kPower), 0) << c.msg;
        ReleaseCapture();
    }
    // On a knob, the left double click returns it to its default.
    fx->setParameter(fx, Velmor::kPresComp, 0.9f);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(128, 296));
    EXPECT_NE(Param(Velmor::kPresComp), 0.9f);
}

TEST_F(EditorWindowTest, AMiddleReleaseEndsTheCaptureAndTheGesture) {
    TestHost::Get().Reset();
    Send(WM_MBUTTONDOWN, MK_MBUTTON, At(128, 296));
    EXPECT_EQ(GetCapture(), child);
    EXPECT_EQ(HostCalls(audioMasterBeginEdit, Velmor::kPresComp), 1);
    Send(WM_MBUTTONUP, 0, At(128, 296));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(HostCalls(audioMasterEndEdit, Velmor::kPresComp), 1);
}

TEST_F(EditorWindowTest, KeysReachTheHostsTopLevelWindowAndKeyUpsAlways) {
    // The pointer rests over the background; no control takes keys anyway.
    SetCursorPos(kHostX + 20, kHostY + 400);
    struct Key {
        UINT msg;
        WPARAM vk;
    } keys[] = {{WM_KEYDOWN, VK_SPACE}, {WM_KEYDOWN, 'A'}, {WM_KEYDOWN, VK_UP},
                {WM_KEYDOWN, VK_F5},    {WM_KEYUP, 'A'},   {WM_KEYUP, VK_F5}};
    for (const Key& k : keys) {
        HostWindow::Keys().clear();
        const LPARAM lParam = 0x001E0001 | (k.msg == WM_KEYUP ? 0xC0000000 : 0);
        Send(k.msg, k.vk, lParam);
        ASSERT_EQ(HostWindow::Keys().size(), 1u) << k.vk;
        EXPECT_EQ(HostWindow::Keys()[0].msg, k.msg);
        EXPECT_EQ(HostWindow::Keys()[0].wParam, k.vk);
        EXPECT_EQ(HostWindow::Keys()[0].lParam, lParam);
    }
}

TEST_F(EditorWindowTest, OpeningAgainKeepsTheSizeAndTheScreenPositionFromTheNewParent) {
    // The window's place measured from the new parent's corner is where it
    // stood on the screen measured from that corner: in the same parent it
    // stays where it was.
    HostWindow second(100, 50);
    struct Reopen {
        HWND parent;
        int x, y;
    } reopens[] = {{host->Handle(), 12, 34}, {second.Handle(), kHostX + 12 - 100, kHostY + 34 - 50}};
    for (const Reopen& o : reopens) {
        SetWindowPos(child, nullptr, 12, 34, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        HWND old = child;
        ASSERT_EQ(Dispatch(fx, effEditOpen, 0, 0, o.parent), 1);
        EXPECT_FALSE(IsWindow(old));
        child = FindWindowExA(o.parent, nullptr, "IEffectWndClass", nullptr);
        ASSERT_NE(child, nullptr);
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, o.parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, o.x);
        EXPECT_EQ(r.top, o.y);
        EXPECT_EQ(r.right - r.left, 300);
        EXPECT_EQ(r.bottom - r.top, 200);
        EXPECT_TRUE(PumpUntilPainted(child));
        EXPECT_TRUE(EditorClassRegistered());
    }
    EXPECT_EQ(host->EditorChild(), nullptr);
    EXPECT_EQ(Dispatch(fx, effEditClose), 1);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(EditorClassRegistered());
}

TEST_F(EditorWindowTest, TwoInstancesShareTheClassUntilBothClose) {
    AEffect* other = CreatePlugin();
    HostWindow second(0, 0);
    ASSERT_EQ(Dispatch(other, effEditOpen, 0, 0, second.Handle()), 1);
    HWND otherChild = second.EditorChild();
    ASSERT_NE(otherChild, nullptr);
    EXPECT_TRUE(PumpUntilPainted(otherChild));

    EXPECT_EQ(Dispatch(fx, effEditClose), 1);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(EditorClassRegistered());
    // The other window still works: a click there switches its own Power.
    SendMessageA(otherChild, WM_LBUTTONDOWN, MK_LBUTTON, At(200, 345));
    SendMessageA(otherChild, WM_LBUTTONUP, 0, At(200, 345));
    EXPECT_EQ(other->getParameter(other, Velmor::kPower), 0.0f);
    EXPECT_EQ(Param(Velmor::kPower), 1.0f);
    Pump(100);

    // Closed and reopened while the other stays open.
    ASSERT_EQ(Dispatch(fx, effEditOpen, 0, 0, host->Handle()), 1);
    child = host->EditorChild();
    EXPECT_TRUE(PumpUntilPainted(child));
    EXPECT_EQ(Dispatch(fx, effEditClose), 1);
    EXPECT_TRUE(EditorClassRegistered());

    EXPECT_EQ(Dispatch(other, effEditClose), 1);
    EXPECT_FALSE(IsWindow(otherChild));
    EXPECT_FALSE(EditorClassRegistered());
    Dispatch(other, effClose);
}

// effEditClose, destroying the parent and effClose, in every order a host
// can send them (effEditClose is impossible after effClose), plus a reopen
// after the parent went: nothing is left behind and no dead handle is used.
TEST(EditorWindowTeardown, EveryOrderOfCloseParentAndEffClose) {
    enum Step { kEditClose, kDestroyParent, kEffClose, kReopenAndClose };
    const std::vector<std::vector<Step>> orders = {
        {kEditClose, kDestroyParent, kEffClose},
        {kEditClose, kEffClose, kDestroyParent},
        {kDestroyParent, kEditClose, kEffClose},
        {kDestroyParent, kEffClose},
        {kEffClose, kDestroyParent},
        {kDestroyParent, kReopenAndClose, kEffClose},
        {kDestroyParent, kReopenAndClose, kReopenAndClose, kEffClose},
    };
    for (std::size_t n = 0; n < orders.size(); ++n) {
        AEffect* e = CreatePlugin();
        ASSERT_NE(e, nullptr);
        HostWindow parent(kHostX, kHostY);
        ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, parent.Handle()), 1);
        HWND editor = parent.EditorChild();
        ASSERT_TRUE(PumpUntilPainted(editor));
        for (Step s : orders[n]) {
            switch (s) {
                case kEditClose:
                    EXPECT_EQ(Dispatch(e, effEditClose), 1);
                    break;
                case kDestroyParent:
                    parent.Destroy();
                    break;
                case kEffClose:
                    Dispatch(e, effClose);
                    break;
                case kReopenAndClose: {
                    HostWindow again(kHostX, kHostY);
                    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, again.Handle()), 1);
                    HWND fresh = again.EditorChild();
                    RECT r{};
                    GetWindowRect(fresh, &r);
                    EXPECT_EQ(r.left - kHostX, 0) << n;  // not the dead window's place or size
                    EXPECT_EQ(r.top - kHostY, 0) << n;
                    EXPECT_EQ(r.right - r.left, 456) << n;
                    EXPECT_EQ(r.bottom - r.top, 416) << n;
                    EXPECT_TRUE(PumpUntilPainted(fresh)) << n;
                    EXPECT_EQ(Dispatch(e, effEditClose), 1);
                    EXPECT_FALSE(EditorClassRegistered()) << n;
                    break;
                }
            }
            Pump(50);
        }
        EXPECT_FALSE(IsWindow(editor)) << n;
        EXPECT_FALSE(EditorClassRegistered()) << n;
    }
}

// Figures for the report, not assertions: the time from effEditOpen to the
// first completed paint, and the window thread's CPU time with audio playing.
TEST(EditorWindowPerformance, OpenToFirstPaintAndCpuWhileRunning) {
    AEffect* e = CreatePlugin();
    ASSERT_NE(e, nullptr);
    StartAudio(e);
    HostWindow parent(kHostX, kHostY);
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, parent.Handle()), 1);
    ASSERT_TRUE(PumpUntilPainted(parent.EditorChild()));
    QueryPerformanceCounter(&t1);
    const double openMs = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);

    // Audio in real time on its own thread: 256-frame blocks of a 1 kHz tone.
    std::atomic<bool> run{true};
    std::thread audio([&] {
        std::vector<float> in(256), out(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        double phase = 0;
        while (run.load()) {
            for (float& s : in) {
                s = static_cast<float>(0.5 * std::sin(phase));
                phase += 2 * 3.141592653589793 * 1000 / 44100;
            }
            e->processReplacing(e, ins, outs, 256);
            Sleep(5);
        }
    });
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel0, &user0);
    const DWORD start = GetTickCount();
    Pump(3000);
    const DWORD wall = GetTickCount() - start;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel1, &user1);
    run = false;
    audio.join();
    auto ticks = [](const FILETIME& f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    const double cpuMs = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 1e4;
    std::printf("[figures] effEditOpen to first completed WM_PAINT: %.2f ms\n", openMs);
    std::printf("[figures] window thread CPU with audio playing: %.1f ms per second (%.0f ms over %lu ms)\n",
                cpuMs * 1000.0 / wall, cpuMs, static_cast<unsigned long>(wall));
    Dispatch(e, effEditClose);
    Dispatch(e, effClose);
}

}  // namespace

namespace {

// A Windows host's content scale (effVendorSpecific 'PreS' 'AeCs'): the
// window takes the scaled size, shows the editor's own paint at that scale,
// and clicks at the scaled places reach the same controls. Only the part of
// the window on the test's screen is compared.
TEST_F(EditorWindowTest, AContentScaleResizesTheWindowAndShowsTheScaledPaint) {
    const VstInt32 vendor = VstFourCC('P', 'r', 'e', 'S');
    const VstIntPtr contentScale = VstFourCC('A', 'e', 'C', 's');
    for (float scale : {2.0f, 1.5f}) {
        SCOPED_TRACE(scale);
        TestHost::Get().Reset();
        ASSERT_EQ(Dispatch(fx, effVendorSpecific, vendor, contentScale, nullptr, scale), 1);
        const int w = static_cast<int>(456 * scale), h = static_cast<int>(416 * scale);
        EXPECT_EQ(TestHost::Get().CountOf(audioMasterSizeWindow), 1);
        ERect* rect = nullptr;
        ASSERT_EQ(Dispatch(fx, effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, w);
        EXPECT_EQ(rect->bottom, h);
        RECT client{};
        GetClientRect(child, &client);
        EXPECT_EQ(client.right, w);
        EXPECT_EQ(client.bottom, h);

        ref.As<Velmor>().EditorView()->SetScale(scale);
        ProcessSilence(fx);
        SyncReference();
        EXPECT_EQ(WaitUntilShown(IRectangle{0, 0, 400, 400}), 0);

        const float power = Param(Velmor::kPower);
        const LPARAM at = At(static_cast<int>(200 * scale), static_cast<int>(345 * scale));
        PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(child, WM_LBUTTONUP, 0, at);
        Pump(60);
        EXPECT_NE(Param(Velmor::kPower), power);
    }
    ref.As<Velmor>().EditorView()->SetScale(1.0);
}

}  // namespace
