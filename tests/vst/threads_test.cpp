// Host threads at once: an audio thread processing, a UI thread sending
// dispatcher calls (rate and block-size changes included), another thread
// automating parameters, and several threads creating instances at the same
// moment. Run under ThreadSanitizer as well.
#include <atomic>
#include <thread>

#include "tests/vst/plugin_fixture.h"

namespace {

TEST(Threads, DispatcherParametersAndAudioAtOnce) {
    TestHost::Get().Reset();
    AEffect* fx = CreatePlugin();
    ASSERT_NE(fx, nullptr);
    StartAudio(fx, 44100.0f, 512);
    std::atomic<bool> stop{false};

    std::thread audio([&] {
        std::vector<float> in(700, 0.1f), out0(700), out1(700);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out0.data(), out1.data()};
        for (int i = 0; i < 1000; ++i) fx->processReplacing(fx, ins, outs, 100 + (i * 37) % 600);
        stop = true;
    });
    std::thread automation([&] {
        for (int i = 0; !stop; ++i) {
            fx->setParameter(fx, i % 11, static_cast<float>(i % 100) / 99.0f);
            (void)fx->getParameter(fx, (i + 3) % 11);
        }
    });
    for (int i = 0; !stop; ++i) {
        char text[64];
        Dispatch(fx, effGetParamDisplay, i % 11, 0, text);
        Dispatch(fx, effSetSampleRate, 0, 0, nullptr, i % 2 ? 48000.0f : 44100.0f);
        Dispatch(fx, effSetBlockSize, 0, i % 2 ? 256 : 512);
        (void)GetChunk(fx, i % 2);
        Dispatch(fx, effMainsChanged, 0, i % 3 != 0);
        Dispatch(fx, effString2Parameter, 8, 0, const_cast<char*>("B"));
    }
    audio.join();
    automation.join();
    Dispatch(fx, effClose);
}

TEST(Threads, InstancesCreatedAtTheSameMoment) {
    constexpr int kThreads = 8;
    AEffect* made[kThreads] = {};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kThreads) std::this_thread::yield();
            made[t] = CreatePlugin();
        });
    }
    for (auto& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_NE(made[t], nullptr);
        for (int u = 0; u < t; ++u) EXPECT_NE(made[t], made[u]);
        Dispatch(made[t], effOpen);
        Dispatch(made[t], effClose);
    }
}

}  // namespace
