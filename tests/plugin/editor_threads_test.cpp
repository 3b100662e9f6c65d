// The editor's thread against the audio thread and a host's automation
// thread: the audio thread feeds the meters, the host thread sets every
// parameter (which moves the controls), and the editor paints and is
// dragged, all at once. Run under ThreadSanitizer: any unsynchronised
// access between them is a failure.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/editor.h"
#include "plugin/velmor.h"
#include "tests/vst/test_host.h"
#include "vst/in_process_effect.h"

namespace {

TEST(EditorThreads, AudioAndAutomationWhileTheEditorPaints) {
    TestHost::Get().Reset();
    InProcessEffect effect{TestHost::Callback};
    Velmor& v = effect.As<Velmor>();
    AEffect* fx = effect.Record();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    fx->dispatcher(fx, effSetBlockSize, 0, 256, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    IEditor* editor = v.EditorView();
    ASSERT_NE(editor, nullptr);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(256), right(256), outL(256), outR(256);
        unsigned seed = 1;
        while (!stop.load()) {
            for (std::size_t i = 0; i < left.size(); ++i) {
                seed = seed * 1664525u + 1013904223u;
                left[i] = right[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
            }
            float* ins[2] = {left.data(), right.data()};
            float* outs[2] = {outL.data(), outR.data()};
            fx->processReplacing(fx, ins, outs, 256);
        }
    });
    std::thread host([&] {
        int step = 0;
        while (!stop.load()) {
            const int index = step % Velmor::kNumParams;
            fx->setParameter(fx, index, static_cast<float>((step * 37) % 101) / 100.0f);
            ++step;
            std::this_thread::yield();
        }
    });
    // The editor's own thread: ticks, a drag on "Pres Comp", a switch press.
    for (int tick = 0; tick < 100; ++tick) {
        editor->RepaintDirty();
        if (tick % 10 == 0) {
            editor->PointerDown(128, 296, IMouseMods{true});
            editor->PointerDrag(128, 280, IMouseMods{true});
            editor->PointerUp(128, 280, IMouseMods{true});
            editor->PointerDown(256, 375, IMouseMods{true});
            editor->PointerUp(256, 375, IMouseMods{true});
        }
    }
    stop.store(true);
    audio.join();
    host.join();

    // Every control shows its parameter's last value once the dust settles.
    v.RefreshEditorControls();
    for (int i = 0; i < editor->ControlCount(); ++i) {
        const IWidget* c = editor->Control(i);
        const int p = c->ParamIndex();
        if (p < 0) continue;
        const IParameter* param = v.GetParam(p);
        EXPECT_NEAR(c->Value(), param->ValueToNormalized(param->Value()), 1e-12) << "control " << i;
    }
    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
}

}  // namespace
