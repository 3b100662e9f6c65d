// An instance of the built Velmor.dll, loaded as a host loads it, with its
// editor open in a host window; beside it an in-process Velmor painting the
// same settings without a window, whose surface is what the window must show.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "editor/editor.h"
#include "plugin/velmor.h"
#include "tests/vst/plugin_fixture.h"
#include "tests/win/win_test_host.h"
#include "vst/in_process_effect.h"

// The host window sits away from the screen's corner, so a wheel position
// left in screen coordinates would miss the editor.
constexpr int kHostX = 560;
constexpr int kHostY = 340;
const IRectangle kWholeEditor{0, 0, 456, 416};
const IRectangle kPresCompKnob{64, 232, 178, 360};
const IRectangle kDriveMeter{96, 33, 360, 169};

// Messages' lParam for a client position; coordinates are signed 16 bits.
inline LPARAM At(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x)) |
           (static_cast<LPARAM>(static_cast<std::uint16_t>(y)) << 16);
}

inline std::vector<std::uint32_t> SurfacePixels(IEditor& editor, const IRectangle& r) {
    const SysBitmap* s = editor.Surface();
    std::vector<std::uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            out.push_back(PixelWord(s->PixelPointer()[static_cast<std::ptrdiff_t>(y) * s->RowStride() + x]) &
                          0x00FFFFFFu);
    return out;
}

inline int CountDifferences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    if (a.size() != b.size()) return static_cast<int>(a.size() > b.size() ? a.size() : b.size());
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

inline void ProcessSilence(AEffect* e, int frames = 256) {
    std::vector<float> in(static_cast<std::size_t>(frames)), out(in.size());
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out.data(), out.data()};
    e->processReplacing(e, ins, outs, frames);
}

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestHost::Get().Reset();
        HostWindow::Keys().clear();
        fx = CreatePlugin();
        ASSERT_NE(fx, nullptr);
        StartAudio(fx);
        StartAudio(ref.Record());
        // One host window serves every test: Wine takes seconds to take a
        // top-level window down.
        static HostWindow shared(kHostX, kHostY);
        host = &shared;
        ASSERT_EQ(Dispatch(fx, effEditOpen, 0, 0, host->Handle()), 1);
        child = host->EditorChild();
        ASSERT_NE(child, nullptr);
        ASSERT_TRUE(PumpUntilPainted(child));
    }
    void TearDown() override {
        if (fx) {
            Dispatch(fx, effEditClose);
            Dispatch(fx, effClose);
        }
        Pump(10);
    }

    // Gives the reference the instance's parameter values, lets its meter
    // settle as the window's timer does, and paints it whole.
    void SyncReference() {
        for (int i = 0; i < fx->numParams; ++i) ref.Record()->setParameter(ref.Record(), i, fx->getParameter(fx, i));
        ProcessSilence(ref.Record());
        IEditor* e = ref.As<Velmor>().EditorView();
        for (int i = 0; i < 80; ++i) e->RepaintDirty();
        e->PaintAll();
    }
    // Pumps until the window shows the reference's pixels in r, or the time
    // runs out; the number of pixels still differing.
    int WaitUntilShown(const IRectangle& r, int timeoutMs = 6000) {
        const std::vector<std::uint32_t> expected = SurfacePixels(*ref.As<Velmor>().EditorView(), r);
        int differing = -1;
        for (int waited = 0; waited <= timeoutMs; waited += 100) {
            differing = CountDifferences(CaptureWindow(child, r), expected);
            if (differing == 0) break;
            Pump(100);
        }
        return differing;
    }
    void Send(UINT msg, WPARAM wParam, LPARAM lParam) { SendMessageA(child, msg, wParam, lParam); }
    float Param(int index) { return fx->getParameter(fx, index); }
    int HostCalls(VstInt32 opcode, VstInt32 index) {
        int n = 0;
        for (const HostCall& c : TestHost::Get().Calls()) n += c.opcode == opcode && c.index == index;
        return n;
    }

    AEffect* fx = nullptr;
    InProcessEffect ref{TestHost::Callback};
    HostWindow* host = nullptr;
    HWND child = nullptr;
};
