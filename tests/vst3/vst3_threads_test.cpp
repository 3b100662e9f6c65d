// The host's two threads at once, as VST 3 hosts run them: the audio thread
// processes blocks with parameter points while the UI thread sets and reads
// the controller's values, saves and restores the state and asks for texts.
// Run under ThreadSanitizer by the test command; the audio must come out as
// the settings the last state says, with no data race on the way.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/vst3/vst3_test_instance.h"

namespace {

using namespace vst3;

TEST(Vst3Threads, TheUiThreadWorksWhileTheAudioThreadProcesses) {
    Vst3TestInstance fx;
    std::string error;
    ASSERT_TRUE(fx.Start(48000.0, 256, 2, error)) << error;
    const std::vector<std::uint8_t> state = fx.SaveState();
    const std::uint32_t latency = fx.Processor()->getLatencySamples();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> l(256, 0.25f), r(256, -0.25f);
        HostParameterChanges changes;
        int block = 0;
        while (!stop.load()) {
            float* io[2] = {l.data(), r.data()};
            AudioBusBuffers bus{};
            bus.numChannels = 2;
            bus.channelBuffers32 = io;
            changes.Clear();
            changes.Add(6, (block * 37) % 256, (block % 10) / 10.0);
            ProcessData data{};
            data.numSamples = 256;
            data.numInputs = data.numOutputs = 1;
            data.inputs = data.outputs = &bus;
            data.inputParameterChanges = &changes;
            fx.Processor()->process(&data);
            ++block;
        }
    });
    IEditController* e = fx.Controller();
    for (int i = 0; i < 300; ++i) {
        e->setParamNormalized(static_cast<ParamID>(i % 11), (i % 7) / 7.0);
        EXPECT_GE(e->getParamNormalized(static_cast<ParamID>(i % 11)), 0.0);
        String128 text{};
        e->getParamStringByValue(static_cast<ParamID>(i % 11), 0.5, text);
        HostStream saved;
        fx.Component()->getState(&saved);
        HostStream restore(state);
        EXPECT_EQ(fx.Component()->setState(&restore), kResultOk);
        EXPECT_EQ(fx.Processor()->getLatencySamples(), latency);
    }
    stop = true;
    audio.join();
    EXPECT_EQ(fx.SaveState().size(), state.size());
}

}  // namespace
