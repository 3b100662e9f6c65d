// The editor's costs on the window thread and at start-up.
//
// BM_MeterTick: one timer tick with the needle moving: the dirty collection
// over all seventeen controls and the paint of its region (the drive meter
// and the background behind it, every tick). BM_FullPaint: the whole editor.
// BM_FirstInstance: VSTPluginMain to the returned record for the first
// instance of a fresh process (the library is loaded beforehand; each
// iteration is a new process). BM_FirstPaint: the first full paint in a
// fresh process, which decodes the pictures it shows; the counter
// decoded_MiB is the pixel memory the pictures then hold. The argument of
// the paint benchmarks is the editor's scale in percent (100, 150, 200);
// at 150 the first paint also resizes the frames it shows from the 2x
// drawing, and the meter ticks resize each needle frame the first time.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "editor/bitmap_cache.h"
#include "editor/editor.h"
#include "editor/scaled_strip.h"
#include "plugin/velmor.h"
#include "vst/in_process_effect.h"
#include "vst/plugin_module.h"

namespace {

using Clock = std::chrono::steady_clock;

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct OpenVelmor {
    explicit OpenVelmor(double scale = 1.0) : effect(SilentHost), velmor(&effect.As<Velmor>()) {
        AEffect* fx = effect.Record();
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        editor = velmor->EditorView();
        editor->SetScale(scale);
    }
    InProcessEffect effect;
    Velmor* velmor;
    IEditor* editor;
};

double ScaleOf(const benchmark::State& state) { return static_cast<double>(state.range(0)) / 100.0; }

void BM_MeterTick(benchmark::State& state) {
    OpenVelmor v(ScaleOf(state));
    v.editor->PaintAll();
    for (int i = 0; i < 60; ++i) v.editor->RepaintDirty();  // past the lamp's warm-up
    double phase = 0;
    for (auto _ : state) {
        // A level that sweeps the needle over the scale, as the audio
        // thread leaves it between ticks.
        phase += 0.05;
        v.velmor->DriveMeter().Publish(1.0 + std::sin(phase));
        benchmark::DoNotOptimize(v.editor->RepaintDirty());
    }
}
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond)->Arg(100)->Arg(150)->Arg(200);

void BM_FullPaint(benchmark::State& state) {
    OpenVelmor v(ScaleOf(state));
    v.editor->PaintAll();
    for (auto _ : state) benchmark::DoNotOptimize(v.editor->PaintAll());
}
BENCHMARK(BM_FullPaint)->Unit(benchmark::kMicrosecond)->Arg(100)->Arg(150)->Arg(200);

// Runs measure() in a child process and reports the seconds it wrote back.
template <typename Measure>
double InFreshProcess(Measure measure, double& extraOut) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        double extra = 0;
        const double seconds = measure(extra);
        const double result[2] = {seconds, extra};
        const bool ok = write(fds[1], result, sizeof result) == static_cast<ssize_t>(sizeof result);
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    double result[2] = {-1, 0};
    const bool ok = read(fds[0], result, sizeof result) == static_cast<ssize_t>(sizeof result);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    extraOut = result[1];
    return ok ? result[0] : -1;
}

void BM_FirstInstance(benchmark::State& state) {
    for (auto _ : state) {
        double unused = 0;
        const double seconds = InFreshProcess(
            [](double&) {
                PluginModule module;
                std::string error;
                if (!module.Open(VELMOR_PLUGIN_PATH, error)) return -1.0;
                const auto start = Clock::now();
                AEffect* fx = module.CreateEffect(SilentHost, error);
                const double s = std::chrono::duration<double>(Clock::now() - start).count();
                if (!fx) return -1.0;
                fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
                return s;
            },
            unused);
        if (seconds < 0) state.SkipWithError("the plug-in did not load");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FirstInstance)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FirstPaint(benchmark::State& state) {
    double decoded = 0;
    const double scale = ScaleOf(state);
    for (auto _ : state) {
        const double seconds = InFreshProcess(
            [scale](double& decodedBytes) {
                OpenVelmor v(scale);
                const auto start = Clock::now();
                v.editor->PaintAll();
                const double s = std::chrono::duration<double>(Clock::now() - start).count();
                decodedBytes = static_cast<double>(BitmapCache::DecodedBytes() + ScaledStrips::Bytes());
                return s;
            },
            decoded);
        if (seconds < 0) state.SkipWithError("the child failed");
        state.SetIterationTime(seconds);
    }
    state.counters["decoded_MiB"] = decoded / (1024.0 * 1024.0);
}
BENCHMARK(BM_FirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Arg(100)->Arg(150)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
