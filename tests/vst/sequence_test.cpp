// Call orders real hosts use, and the audio callbacks of the built plug-in.
// The chain's output is not assumed here; what must hold for any per-sample
// chain is: the three callbacks agree, and how a host cuts its blocks does
// not change the result.
#include <cmath>

#include "tests/vst/plugin_fixture.h"

namespace {

constexpr int kFrames = 1024;

// A deterministic test signal: two sines, different per channel, peaking
// near -6 dBFS so the limiters have work to do.
float Signal(int channel, int s) {
    return 0.3f * std::sin(0.031f * static_cast<float>(s) * static_cast<float>(channel + 1)) +
           0.2f * std::sin(0.0021f * static_cast<float>(s));
}

struct Stereo {
    explicit Stereo(int n, float fill = 0.0f) : ch{std::vector<float>(n, fill), std::vector<float>(n, fill)} {}
    float** Ptrs(int offset = 0) {
        p[0] = ch[0].data() + offset;
        p[1] = ch[1].data() + offset;
        return p;
    }
    std::vector<float> ch[2];
    float* p[2];
};

Stereo Input(int n) {
    Stereo in(n);
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < n; ++s) in.ch[c][s] = Signal(c, s);
    return in;
}

// Renders kFrames through a fresh instance, cut into the given blocks.
Stereo Render(VstIntPtr announced, const std::vector<int>& blocks) {
    AEffect* e = CreatePlugin();
    StartAudio(e, 44100.0f, announced);
    Stereo in = Input(kFrames), out(kFrames);
    int offset = 0;
    for (int n : blocks) {
        e->processReplacing(e, in.Ptrs(offset), out.Ptrs(offset), n);
        offset += n;
    }
    Dispatch(e, effClose);
    return out;
}

TEST(Audio, BlockCuttingDoesNotChangeTheResult) {
    const Stereo whole = Render(kFrames, {kFrames});
    bool finite = true;
    for (const auto& ch : whole.ch)
        for (float v : ch) finite = finite && std::isfinite(v);
    EXPECT_TRUE(finite);
    struct Row {
        VstIntPtr announced;
        std::vector<int> blocks;
    } rows[] = {
        {kFrames, {768, 256}},      // shorter blocks than announced
        {256, {kFrames}},           // one block four times the announced size
        {100, {1, 511, 300, 212}},  // uneven, some longer than announced
    };
    for (const Row& r : rows) {
        const Stereo cut = Render(r.announced, r.blocks);
        for (int c = 0; c < 2; ++c) EXPECT_EQ(cut.ch[c], whole.ch[c]) << "announced " << r.announced;
    }
}

TEST(Audio, TheThreeCallbacksAgree) {
    AEffect* fx[3] = {CreatePlugin(), CreatePlugin(), CreatePlugin()};
    for (AEffect* e : fx) StartAudio(e);
    Stereo in = Input(512), replaced(512), added(512, 0.25f);
    fx[0]->processReplacing(fx[0], in.Ptrs(), replaced.Ptrs(), 512);
    fx[1]->process(fx[1], in.Ptrs(), added.Ptrs(), 512);
    std::vector<double> din[2], dout[2];
    double* dinp[2];
    double* doutp[2];
    for (int c = 0; c < 2; ++c) {
        din[c].assign(in.ch[c].begin(), in.ch[c].end());
        dout[c].assign(512, 0.0);
        dinp[c] = din[c].data();
        doutp[c] = dout[c].data();
    }
    fx[2]->processDoubleReplacing(fx[2], dinp, doutp, 512);
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < 512; ++s) {
            // The accumulating sum is rounded to float once: within one ulp
            // of values below 2 (2^-23 * 2).
            EXPECT_NEAR(added.ch[c][s], 0.25f + replaced.ch[c][s], 2.4e-7) << s;
            // Same samples widened, same chain: narrowing the double result
            // gives the float result exactly.
            EXPECT_EQ(static_cast<float>(dout[c][s]), replaced.ch[c][s]) << s;
        }
    }
    for (AEffect* e : fx) Dispatch(e, effClose);
}

TEST(HostSequences, OrdersSeenInRealHosts) {
    TestHost::Get().Reset();
    // Rate and block size before effOpen, then again after, then a change of
    // both while resumed, with no suspend in between.
    AEffect* a = CreatePlugin();
    Dispatch(a, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(a, effSetBlockSize, 0, 8192);
    Dispatch(a, effIdentify);
    StartAudio(a, 44100.0f, 8192);
    Stereo in = Input(8192), out(8192);
    a->processReplacing(a, in.Ptrs(), out.Ptrs(), 8192);
    Dispatch(a, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Dispatch(a, effSetBlockSize, 0, 512);
    a->processReplacing(a, in.Ptrs(), out.Ptrs(), 8192);  // the old size, longer than announced now
    // Resumed twice in a row, then a suspend and resume from the audio side.
    Dispatch(a, effMainsChanged, 0, 1);
    Dispatch(a, effMainsChanged, 0, 1);
    a->processReplacing(a, in.Ptrs(), out.Ptrs(), 300);
    Dispatch(a, effMainsChanged, 0, 0);
    Dispatch(a, effMainsChanged, 0, 1);
    a->processReplacing(a, in.Ptrs(), out.Ptrs(), 300);
    for (const auto& ch : out.ch)
        for (float v : ch) ASSERT_TRUE(std::isfinite(v));
    Dispatch(a, effClose);

    // A scanner: category before effOpen, then open and close, nothing else.
    AEffect* b = CreatePlugin();
    EXPECT_EQ(Dispatch(b, effGetPlugCategory), kPlugCategEffect);
    Dispatch(b, effOpen);
    Dispatch(b, effClose);
}

}  // namespace
