// The audio callbacks allocate nothing once the host has set the plug-in up.
// Every allocation route is counted while the callbacks run on this thread
// (tests/core/counted_allocations.h).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "core/heap_buffer.h"
#include "tests/core/counted_allocations.h"
#include "tests/vst/test_host.h"
#include "vst/effect_vst.h"
#include "vst/in_process_effect.h"

namespace {

TEST(Allocation, AudioCallbacksAllocateNothing) {
    TestHost::Get().Reset();
    const IHeapAllocator counting{CountedRealloc, CountedMalloc};
    SetHeapAllocator(&counting);
    InProcessEffect plugin(TestHost::Callback);
    AEffect* fx = plugin.Record();
    auto dispatch = [fx](VstInt32 op, VstIntPtr value, float opt) {
        return fx->dispatcher(fx, op, 0, value, nullptr, opt);
    };
    dispatch(effOpen, 0, 0);
    dispatch(effSetSampleRate, 0, 48000.0f);
    dispatch(effSetBlockSize, 512, 0);
    dispatch(effMainsChanged, 1, 0);

    std::vector<float> fin(2000, 0.25f), fout0(2000), fout1(2000);
    std::vector<double> din(2000, 0.25), dout0(2000), dout1(2000);
    float* fi[2] = {fin.data(), fin.data()};
    float* fo[2] = {fout0.data(), fout1.data()};
    double* di[2] = {din.data(), din.data()};
    double* dO[2] = {dout0.data(), dout1.data()};
    fx->processReplacing(fx, fi, fo, 512);  // warm-up

    // The counter itself must see an allocation, or the test proves nothing
    // (operator new and the malloc under it may both count it).
    CountAllocations(true);
    AllocateOnce();
    CountAllocations(false);
    ASSERT_GE(gAllocations.exchange(0), 1);

    CountAllocations(true);
    for (int frames : {512, 100, 1500}) {  // announced, shorter, longer (sliced)
        fx->processReplacing(fx, fi, fo, frames);
        fx->process(fx, fi, fo, frames);
        fx->processDoubleReplacing(fx, di, dO, frames);
    }
    for (int i = 0; i < 11; ++i) {  // automation arrives on the audio thread too
        fx->setParameter(fx, i, 0.3f);
        (void)fx->getParameter(fx, i);
    }
    CountAllocations(false);

    EXPECT_EQ(gAllocations.load(), 0);
    plugin.Close();
    SetHeapAllocator(nullptr);
}

// What a host's automation can do between and inside blocks: every parameter
// moved at random on every block (Mode through all five values, both limit
// switches, Power), the rate changed across 8 kHz to 384 kHz with processing
// suspended and resumed around it, float and double callbacks, blocks up to
// four times the announced size. The look-ahead lengths change with rate and
// Mode, and the limiters' storage is made ready off the audio thread (for
// 768 kHz, or the rate set when it is higher), so not one block allocates,
// the first at a new rate included.
TEST(Allocation, AutomationAndRateChangesAllocateNothingOnTheAudioThread) {
    TestHost::Get().Reset();
    const IHeapAllocator counting{CountedRealloc, CountedMalloc};
    SetHeapAllocator(&counting);
    InProcessEffect plugin(TestHost::Callback);
    AEffect* fx = plugin.Record();
    auto dispatch = [fx](VstInt32 op, VstIntPtr value, float opt) {
        return fx->dispatcher(fx, op, 0, value, nullptr, opt);
    };
    constexpr int kAnnounced = 256;
    dispatch(effOpen, 0, 0);
    dispatch(effSetBlockSize, kAnnounced, 0);

    std::mt19937 random(12);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> frames(1, 4 * kAnnounced);
    std::vector<float> fin(4 * kAnnounced), fout0(fin.size()), fout1(fin.size());
    std::vector<double> din(fin.size()), dout0(fin.size()), dout1(fin.size());
    for (std::size_t i = 0; i < fin.size(); ++i) {
        // Loud enough to drive every limiter into reduction.
        din[i] = 1.5 * std::sin(0.07 * static_cast<double>(i)) + (i % 97 == 0 ? 2.0 : 0.0);
        fin[i] = static_cast<float>(din[i]);
    }
    float* fi[2] = {fin.data(), fin.data()};
    float* fo[2] = {fout0.data(), fout1.data()};
    double* di[2] = {din.data(), din.data()};
    double* dO[2] = {dout0.data(), dout1.data()};

    long counted = 0;
    int blocks = 0;
    for (float rate : {44100.0f, 8000.0f, 384000.0f, 22050.0f, 96000.0f, 11025.0f, 192000.0f, 48000.0f, 32000.0f,
                       176400.0f, 8000.0f, 384000.0f, 1536000.0f}) {
        dispatch(effMainsChanged, 0, 0);
        dispatch(effSetSampleRate, 0, rate);
        dispatch(effMainsChanged, 1, 0);
        gAllocations.store(0);
        CountAllocations(true);
        for (int b = 0; b < 40; ++b, ++blocks) {
            for (int index = 0; index < 11; ++index) {
                // Mode lands on each of its five values; the switches on
                // either side of their middle; the rest anywhere.
                const float x = index == 8 ? static_cast<float>(random() % 5) / 4.0f : unit(random);
                fx->setParameter(fx, index, x);
            }
            const int n = frames(random);
            switch (b % 3) {
                case 0:
                    fx->processReplacing(fx, fi, fo, n);
                    break;
                case 1:
                    fx->processDoubleReplacing(fx, di, dO, n);
                    break;
                default:
                    fx->process(fx, fi, fo, n);
                    break;
            }
        }
        CountAllocations(false);
        EXPECT_EQ(gAllocations.load(), 0) << "at " << rate << " Hz";
        counted += gAllocations.load();
    }
    EXPECT_EQ(counted, 0);
    EXPECT_EQ(blocks, 13 * 40);
    plugin.Close();
    SetHeapAllocator(nullptr);
}

}  // namespace
