// Velmor.clap's two threads, as CLAP names them: the main thread's work with
// the host (state through its streams, the host's rescan, parameter queries)
// never makes the audio thread wait, and the audio thread's calls allocate
// nothing. Run under ThreadSanitizer too (label "threads").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/clap/clap_fixture.h"
#include "tests/core/counted_allocations.h"

namespace {

constexpr clap_id kPresComp = 0, kDbOutput = 6, kMode = 8;

// Blocks done by the audio thread, and a wait for more of them.
std::atomic<int> gBlocks{0};
std::atomic<int> gStalls{0};

// Waits until the audio thread has run `blocks` more blocks; a timeout is a
// stall: the audio thread was held up by what the caller is inside of.
// After one stall nothing waits any more, so a broken build fails fast.
void WaitForAudio(int blocks = 3) {
    if (gStalls.load() > 0) return;
    const int target = gBlocks.load() + blocks;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (gBlocks.load() < target) {
        if (std::chrono::steady_clock::now() > deadline) {
            ++gStalls;
            return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// A host whose callbacks from the main thread wait for the audio thread.
class PatientHost : public ClapHostContext {
public:
    PatientHost() : ClapHostContext("patient") {}
    void OnParamsRescan(std::uint32_t) override { WaitForAudio(); }
    void OnRequestFlush() override { WaitForAudio(); }
};

// Streams that wait for the audio thread inside every call.
struct PatientWrite {
    clap_ostream stream{this, Write};
    std::vector<std::uint8_t> bytes;
    static std::int64_t Write(const clap_ostream* s, const void* buffer, std::uint64_t size) {
        WaitForAudio(1);
        auto* self = static_cast<PatientWrite*>(s->ctx);
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        const std::uint64_t n = size < 16 ? size : 16;
        self->bytes.insert(self->bytes.end(), p, p + n);
        return static_cast<std::int64_t>(n);
    }
};
struct PatientRead {
    clap_istream stream{this, Read};
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    static std::int64_t Read(const clap_istream* s, void* buffer, std::uint64_t size) {
        WaitForAudio(1);
        auto* self = static_cast<PatientRead*>(s->ctx);
        std::uint64_t n = self->bytes.size() - self->at;
        if (n > size) n = size;
        if (n > 16) n = 16;
        std::copy_n(self->bytes.begin() + static_cast<std::ptrdiff_t>(self->at), n, static_cast<std::uint8_t*>(buffer));
        self->at += n;
        return static_cast<std::int64_t>(n);
    }
};

TEST(ClapThreads, TheMainThreadsWorkWithTheHostNeverHoldsUpTheAudioThread) {
    PatientHost host;
    ClapInstance p(host);
    ASSERT_TRUE(p.Start(48000.0, 256));
    gBlocks = 0;
    gStalls = 0;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        ClapHostContext::ScopedAudioThread scope;
        Audio io = TestSignal(2, 256);
        for (int block = 0; !stop; ++block) {
            // The host's automation on the audio thread meanwhile.
            ClapInputEvents events;
            events.AddValue(kDbOutput, -(block % 30), static_cast<std::uint32_t>(block % 256));
            events.AddValue(kMode, block % 5, 100);
            p.Process(io, 0, 256, events);
            ++gBlocks;
        }
    });

    const auto* state = p.Extension<clap_plugin_state>(kClapExtState);
    const auto* params = p.Params();
    for (int round = 0; round < 4; ++round) {
        PatientWrite out;
        ASSERT_TRUE(state->save(p.Get(), &out.stream));
        ASSERT_EQ(out.bytes.size(), 8u + 11u * 8u);
        PatientRead in;
        in.bytes = out.bytes;
        // Reading, applying and the host's rescan that waits for audio.
        ASSERT_TRUE(state->load(p.Get(), &in.stream));
        for (int i = 0; i < 200; ++i) {
            double v = 0;
            char text[64];
            params->get_value(p.Get(), static_cast<clap_id>(i % 11), &v);
            params->value_to_text(p.Get(), kPresComp, 3.0 + i, text, sizeof text);
            params->text_to_value(p.Get(), kDbOutput, "-3", &v);
            clap_param_info info;
            params->get_info(p.Get(), static_cast<std::uint32_t>(i % 11), &info);
        }
    }
    stop = true;
    audio.join();
    EXPECT_EQ(gStalls.load(), 0);
    EXPECT_GT(gBlocks.load(), 4 * 2 * 8);
}

// Every audio-thread call, with the host's automation in and out of the
// block's range, both precisions, in place, 0 frames and blocks longer than
// announced, allocates nothing.
TEST(ClapThreads, TheAudioThreadAllocatesNothing) {
    if (!CountsMalloc()) GTEST_SKIP() << "the malloc family is not counted in this build";
    ClapHostContext host("test");
    ClapInstance p(host);
    ASSERT_TRUE(p.Start(48000.0, 512));
    ClapInputEvents events;
    for (clap_id id = 0; id < 11; ++id) events.AddValue(id, id == kMode ? 4.0 : 0.3, id * 40);
    events.AddValue(kDbOutput, -6.0, 9999);
    ClapOutputEvents sent;
    // Made before counting starts: the host's buffers, in place.
    std::vector<float> f0(2048, 0.25f), f1(2048, -0.25f);
    std::vector<double> d0(2048, 0.25), d1(2048, -0.25);
    float* floats[2] = {f0.data(), f1.data()};
    double* doubles[2] = {d0.data(), d1.data()};
    clap_audio_buffer single{floats, nullptr, 2, 0, 0};
    clap_audio_buffer twice{nullptr, doubles, 2, 0, 0};
    clap_process block{};
    block.audio_inputs_count = block.audio_outputs_count = 1;
    block.in_events = events.List();
    block.out_events = sent.List();
    auto run = [&](clap_audio_buffer& buffer, std::uint32_t frames) {
        block.audio_inputs = &buffer;
        block.audio_outputs = &buffer;
        block.frames_count = frames;
        return p->process(p.Get(), &block);
    };
    run(single, 512);  // warm-up

    CountAllocations(true);
    AllocateOnce();
    CountAllocations(false);
    ASSERT_GE(gAllocations.exchange(0), 1);
    CountAllocations(true);
    for (std::uint32_t frames : {512u, 100u, 0u, 2048u}) {
        run(single, frames);
        run(twice, frames);
    }
    p.Params()->flush(p.Get(), events.List(), sent.List());
    p->stop_processing(p.Get());
    p->reset(p.Get());
    p->start_processing(p.Get());
    CountAllocations(false);
    EXPECT_EQ(gAllocations.load(), 0);
}

}  // namespace
