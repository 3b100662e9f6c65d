// The host-facing audio callbacks of Velmor, in-process, at common block
// sizes: what a host pays per block for widening, ProcessBlock and narrowing.
#include <benchmark/benchmark.h>

#include <vector>

#include "vst/create_effect.h"
#include "vst/effect_vst.h"

namespace {

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct Running {
    explicit Running(int block) : plugin(CreateEffectInstance(SilentHost)), fx(plugin->Record()) {
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        fx->dispatcher(fx, effSetBlockSize, 0, block, nullptr, 0);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0);
    }
    ~Running() { fx->dispatcher(fx, effClose, 0, 0, nullptr, 0); }
    IEffectVST* plugin;
    AEffect* fx;
};

void ProcessReplacing(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    Running r(frames);
    std::vector<float> in(frames, 0.25f), out0(frames), out1(frames);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        r.fx->processReplacing(r.fx, ins, outs, frames);
        benchmark::DoNotOptimize(out1.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(ProcessReplacing)->Arg(64)->Arg(512)->Arg(4096);

void ProcessDoubleReplacing(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    Running r(frames);
    std::vector<double> in(frames, 0.25), out0(frames), out1(frames);
    double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        r.fx->processDoubleReplacing(r.fx, ins, outs, frames);
        benchmark::DoNotOptimize(out1.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(ProcessDoubleReplacing)->Arg(512);

}  // namespace

BENCHMARK_MAIN();
