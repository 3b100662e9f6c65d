// Velmor's whole chain through the effect record, as a host drives it, side
// by side with other VST 2.4 dynamics plug-ins of the machine loaded through
// their own entry point, so the ratio between them comes from one run.
//
// Velmor: the single-precision callback (what real hosts use: widening,
// ProcessBlock, narrowing) and the double-precision one, at 48 kHz in
// 512-frame blocks, stereo in every Mode and mono (a mono host connects one
// input and one output), with fixed parameters and with a random parameter
// change every 4 blocks (as a host plays automation back), and the float
// stereo path once more on the x86-64 baseline loops. References: LSP
// compressor-stereo and limiter-stereo (Debian's lsp-plugins-vst) at their
// defaults; a reference that is not installed is left out.
//
// Counters: time_per_frame (one stereo or mono frame, CPU time) and
// realtime_x, how many times faster than real time one core runs it. After
// the table the ratios are printed, from each benchmark's fastest
// repetition (--benchmark_repetitions=5 steadies them on a busy machine).
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_signal.h"
#include "core/plugin_factory.h"
#include "plugin/dsp/isa.h"
#include "plugin/velmor.h"
#include "vst/new_effect.h"

namespace {

constexpr int kBlock = 512;
constexpr int kSignalFrames = 48000;  // one second, looped
constexpr int kAutomationBlocks = 4;  // a parameter change every 4 blocks

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterGetSampleRate:
            return static_cast<VstIntPtr>(kRate);
        case audioMasterGetBlockSize:
            return kBlock;
        default:
            return 0;
    }
}

// A plug-in opened, set to 48 kHz and 512 frames and resumed, as a host does
// before playback.
struct Running {
    explicit Running(AEffect* effect, bool mono = false) : fx(effect) {
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, kRate);
        fx->dispatcher(fx, effSetBlockSize, 0, kBlock, nullptr, 0);
        if (mono) {
            VstSpeakerArrangement in{}, out{};
            in.type = out.type = kSpeakerArrMono;
            in.numChannels = out.numChannels = 1;
            fx->dispatcher(fx, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out, 0);
        }
    }
    void Resume() { fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0); }
    ~Running() {
        fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0);
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0);
    }
    AEffect* fx;
};

// Blocks of the looped signal through fx. With automate, every fourth
// block is preceded by one setParameter of a random parameter to a random
// value (the same sequence in every run).
template <typename Sample>
void Play(benchmark::State& state, AEffect* fx, bool automate) {
    const std::vector<double> left = VoiceLikeSignal(kSignalFrames, 0.0);
    const std::vector<double> right = VoiceLikeSignal(kSignalFrames, 3.0);
    std::vector<Sample> inL(left.begin(), left.end()), inR(right.begin(), right.end());
    std::vector<Sample> out0(kBlock), out1(kBlock);
    std::uint32_t seed = 2024;
    auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int position = 0;
    int block = 0;
    for (auto _ : state) {
        if (automate && ++block % kAutomationBlocks == 0) {
            const auto index = static_cast<VstInt32>(random() % static_cast<std::uint32_t>(fx->numParams));
            fx->setParameter(fx, index, static_cast<float>(random()) / 16777216.0f);
        }
        Sample* ins[2] = {inL.data() + position, inR.data() + position};
        Sample* outs[2] = {out0.data(), out1.data()};
        if constexpr (sizeof(Sample) == sizeof(float)) {
            fx->processReplacing(fx, ins, outs, kBlock);
        } else {
            fx->processDoubleReplacing(fx, ins, outs, kBlock);
        }
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
        position += kBlock;
        if (position + kBlock > kSignalFrames) position = 0;
    }
    SetCounters(state, kBlock);
}

// Velmor in Mode 1..4 ("A".."D"), or automated (starting in "A").
template <typename Sample>
void RunVelmor(benchmark::State& state, int mode, bool mono, bool automate,
               velmor_dsp::Loops loops = velmor_dsp::Loops::kAvx512) {
    velmor_dsp::CapLoops(loops);
    {
        Running r(NewEffect(Host, CreatePluginInstance), mono);
        r.fx->setParameter(r.fx, Velmor::kMode, static_cast<float>(mode) / 4.0f);
        r.Resume();
        Play<Sample>(state, r.fx, automate);
    }
    velmor_dsp::CapLoops(velmor_dsp::Loops::kAvx512);
}

void FloatStereo(benchmark::State& s) { RunVelmor<float>(s, static_cast<int>(s.range(0)), false, false); }
void FloatStereoAutomated(benchmark::State& s) { RunVelmor<float>(s, 1, false, true); }
void FloatMono(benchmark::State& s) { RunVelmor<float>(s, static_cast<int>(s.range(0)), true, false); }
void DoubleStereo(benchmark::State& s) { RunVelmor<double>(s, static_cast<int>(s.range(0)), false, false); }
void DoubleMono(benchmark::State& s) { RunVelmor<double>(s, static_cast<int>(s.range(0)), true, false); }
// The same on the AVX loops, as a processor without AVX-512 runs it, and on
// the x86-64 baseline loops, as one without AVX does.
using velmor_dsp::Loops;
void FloatStereoAvx(benchmark::State& s) {
    RunVelmor<float>(s, static_cast<int>(s.range(0)), false, false, Loops::kAvx);
}
void FloatStereoAutomatedAvx(benchmark::State& s) { RunVelmor<float>(s, 1, false, true, Loops::kAvx); }
void FloatStereoBaseline(benchmark::State& s) {
    RunVelmor<float>(s, static_cast<int>(s.range(0)), false, false, Loops::kBaseline);
}
void FloatStereoAutomatedBaseline(benchmark::State& s) { RunVelmor<float>(s, 1, false, true, Loops::kBaseline); }

BENCHMARK(FloatStereo)->ArgName("mode")->DenseRange(1, 4);
BENCHMARK(FloatStereoAutomated);
BENCHMARK(FloatMono)->ArgName("mode")->Arg(1)->Arg(4);
BENCHMARK(DoubleStereo)->ArgName("mode")->Arg(1)->Arg(4);
BENCHMARK(DoubleMono)->ArgName("mode")->Arg(1);
BENCHMARK(FloatStereoAvx)->ArgName("mode")->Arg(1)->Arg(4);
BENCHMARK(FloatStereoAutomatedAvx);
BENCHMARK(FloatStereoBaseline)->ArgName("mode")->Arg(1)->Arg(4);
BENCHMARK(FloatStereoAutomatedBaseline);

// Another plug-in's library, loaded as a host loads it; stays loaded for the
// whole run.
struct Reference {
    const char* name;  // the benchmark's name
    const char* path;
};
constexpr Reference kReferences[] = {
    {"LspCompressorStereo", "/usr/lib/vst/lsp-plugins/compressor-stereo.so"},
    {"LspLimiterStereo", "/usr/lib/vst/lsp-plugins/limiter-stereo.so"},
};

using EntryPoint = AEffect* (*)(audioMasterCallback);

EntryPoint LoadEntryPoint(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    void* entry = dlsym(library, "VSTPluginMain");
    if (entry == nullptr) entry = dlsym(library, "main");
    return reinterpret_cast<EntryPoint>(entry);
}

void RunReference(benchmark::State& state, EntryPoint entry) {
    AEffect* fx = entry(Host);
    if (fx == nullptr || fx->magic != kEffectMagic || fx->numInputs != 2 || fx->numOutputs != 2) {
        state.SkipWithError("not a stereo VST 2.4 effect");
        return;
    }
    Running r(fx);
    r.Resume();
    Play<float>(state, fx, false);
}

// The console table, and the fastest CPU time per frame of each benchmark
// for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
            const double ns = run.cpu_accumulated_time / static_cast<double>(run.iterations) / kBlock * 1e9;
            const std::string name = run.run_name.str();
            auto found = mFastest.find(name);
            if (found == mFastest.end() || ns < found->second) mFastest[name] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        const double compressor = Find("LspCompressorStereo");
        std::printf("\nns per frame (fastest repetition):");
        for (const auto& [name, ns] : mFastest) std::printf("\n  %-34s %7.2f", name.c_str(), ns);
        std::printf("\n\n");
        for (const char* loops : {"", "Avx", "Baseline"}) {
            const double steady = Find(std::string("FloatStereo") + loops + "/mode:1");
            const double automated = Find(std::string("FloatStereoAutomated") + loops);
            if (steady > 0.0 && automated > 0.0) {
                std::printf("Velmor float stereo%s%s, automated / steady (Mode A): %.2f\n", *loops ? ", " : "", loops,
                            automated / steady);
            }
        }
        if (compressor > 0.0) {
            for (const auto& [name, ns] : mFastest) {
                if (name.rfind("FloatStereo", 0) == 0) {
                    std::printf("%s / LSP compressor-stereo: %.2f\n", name.c_str(), ns / compressor);
                }
            }
        } else {
            std::printf("LSP compressor-stereo not installed (apt-get install lsp-plugins-vst): no ratio\n");
        }
    }

private:
    double Find(const std::string& name) const {
        auto found = mFastest.find(name);
        return found == mFastest.end() ? 0.0 : found->second;
    }
    std::map<std::string, double> mFastest;
};

}  // namespace

int main(int argc, char** argv) {
    for (const Reference& ref : kReferences) {
        if (EntryPoint entry = LoadEntryPoint(ref.path)) {
            benchmark::RegisterBenchmark(ref.name, RunReference, entry);
        } else {
            std::fprintf(stderr, "%s: %s not found, left out\n", ref.name, ref.path);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
