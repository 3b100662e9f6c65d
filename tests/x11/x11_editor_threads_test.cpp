// The editor's window repaints on the host's GUI thread while an audio
// thread processes and an automation thread moves parameters, and the user
// drags a knob and clicks a switch: run under ThreadSanitizer by the test
// command (label "threads").
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/vst/plugin_fixture.h"

// Xlib's macros last: they would rename names in the headers above.
#include "tests/x11/x11_test_host.h"

namespace {

TEST(X11EditorThreads, RepaintsWhileAudioAndAutomationRun) {
    X11TestDisplay display;
    ASSERT_NE(display.Get(), nullptr) << "no X display; the test command runs this under Xvfb";
    ASSERT_TRUE(display.HasXTest());
    AEffect* fx = CreatePlugin();
    ASSERT_NE(fx, nullptr);
    StartAudio(fx, 48000.0f, 256);
    HostFrame frame(display.Get(), 0, 0, 456, 416);
    ASSERT_EQ(Dispatch(fx, effEditOpen, 0, 0, frame.Parent()), 1);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(256), out(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        unsigned phase = 0;
        while (!stop.load()) {
            for (float& s : in) s = 0.5f * std::sin(0.05f * static_cast<float>(phase++));
            fx->processReplacing(fx, ins, outs, 256);
        }
    });
    std::thread automation([&] {
        int i = 0;
        while (!stop.load()) {
            fx->setParameter(fx, i % 11, static_cast<float>(i % 7) / 6.0f);
            ++i;
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 4; ++round) {
        display.MoveTo(94, 262);
        display.Button(Button1, true);
        IdleFor({fx}, {&frame}, 60);
        display.MoveTo(94, 240);
        IdleFor({fx}, {&frame}, 60);
        display.Button(Button1, false);
        display.Click(Button1, 200, 345);
        IdleFor({fx}, {&frame}, 150);
    }
    stop.store(true);
    audio.join();
    automation.join();
    EXPECT_EQ(frame.Children().size(), 1u);
    EXPECT_EQ(Dispatch(fx, effEditClose), 1);
    Dispatch(fx, effMainsChanged, 0, 0);
    Dispatch(fx, effClose);
}

}  // namespace
