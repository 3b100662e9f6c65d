// The window repainting while the audio thread processes and a host thread
// automates parameters: no crash, the meter moves while audio plays and
// rests after it, and the window ends showing every last value.
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/win/editor_window_fixture.h"

namespace {

TEST_F(EditorWindowTest, RepaintsWhileAudioPlaysAndAHostThreadAutomates) {
    std::atomic<bool> run{true};
    std::thread audio([&] {
        std::vector<float> in(256), out(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        double phase = 0;
        while (run.load()) {
            for (float& s : in) {
                s = static_cast<float>(0.8 * std::sin(phase));
                phase += 2 * 3.141592653589793 * 440 / 44100;
            }
            fx->processReplacing(fx, ins, outs, 256);
            Sleep(2);
        }
    });
    std::thread automation([&] {
        for (int i = 0; run.load(); ++i) {
            fx->setParameter(fx, Velmor::kPresComp, static_cast<float>(i % 100) / 100.0f);
            fx->setParameter(fx, Velmor::kDbOutput, static_cast<float>((i * 7) % 100) / 100.0f);
            fx->setParameter(fx, Velmor::kLowCut, static_cast<float>(i % 2));
            fx->setParameter(fx, Velmor::kPresence, static_cast<float>((i / 2) % 2));
            Sleep(3);
        }
    });
    // Meter pictures while the tone plays: the needle must move.
    std::vector<std::vector<std::uint32_t>> meters;
    for (int i = 0; i < 12; ++i) {
        Pump(250);
        meters.push_back(CaptureWindow(child, kDriveMeter));
    }
    run = false;
    audio.join();
    automation.join();
    int changes = 0;
    for (std::size_t i = 1; i < meters.size(); ++i) changes += CountDifferences(meters[i - 1], meters[i]) > 0;
    EXPECT_GT(changes, 0);

    // Silence lets the needle fall back and rest; the last values show.
    fx->setParameter(fx, Velmor::kPresComp, 0.3f);
    fx->setParameter(fx, Velmor::kDbOutput, 0.7f);
    fx->setParameter(fx, Velmor::kLowCut, 1.0f);
    fx->setParameter(fx, Velmor::kPresence, 0.0f);
    for (int i = 0; i < 44100 * 4 / 256; ++i) ProcessSilence(fx);
    SyncReference();
    for (int i = 0; i < ref.As<Velmor>().EditorView()->ControlCount(); ++i) {
        IWidget* c = ref.As<Velmor>().EditorView()->Control(i);
        if (c->ParamIndex() < 0 || c->Rect().left >= 456) continue;
        EXPECT_EQ(WaitUntilShown(c->Rect()), 0) << "parameter " << c->ParamIndex();
    }
    Pump(300);
    const std::vector<std::uint32_t> resting = CaptureWindow(child, kDriveMeter);
    Pump(400);
    EXPECT_EQ(CountDifferences(resting, CaptureWindow(child, kDriveMeter)), 0);
}

// A host that sends effClose from another thread than the editor's without
// closing the editor first: the window cannot be destroyed from there, so it
// is cut loose from the dying editor and closes on its own thread.
TEST(EditorWindowThreads, EffCloseFromAnotherThreadLeavesNoWindowBehind) {
    AEffect* e = CreatePlugin();
    ASSERT_NE(e, nullptr);
    std::atomic<HWND> editor{nullptr};
    std::atomic<bool> closed{false};
    std::thread ui([&] {
        HostWindow parent(kHostX, kHostY);
        if (Dispatch(e, effEditOpen, 0, 0, parent.Handle()) == 1) editor = parent.EditorChild();
        while (!closed.load()) Pump(20);
        Pump(300);  // timer ticks and the close arrive after the editor is gone
    });
    while (!editor.load()) Sleep(5);
    Dispatch(e, effClose);
    closed = true;
    ui.join();
    EXPECT_FALSE(IsWindow(editor.load()));
}

}  // namespace
