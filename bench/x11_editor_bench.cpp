// velmor.so's editor in an X11 window, loaded through its entry point.
//
// BM_OpenToFirstFrame: effEditOpen into a mapped frame until the server has
// drawn the first frame (a round trip on the host's connection after the
// open, which returns once the frame is sent), then effEditClose. The
// counter open_ms is the open alone.
// BM_GuiThreadWithAudio: the host's GUI thread calling effEditIdle 50 times
// a second for two seconds with the editor open while an audio thread plays
// a sine through the plug-in in real time (48 kHz, 256-frame blocks); the
// counter gui_cpu_ms_per_s is that thread's CPU time per second of wall
// time (a tenth of a core is 100).
// BM_AudioDelayWhileTheEditorOpens: the longest audio call, beyond the usual
// one, while the editor opens for the first time in a process (each run in a
// fresh child process), while it is idled, and while it is reopened
// (tests/x11/audio_delay.h); counters in milliseconds.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "tests/x11/audio_delay.h"
#include "vst/plugin_module.h"
#include "vst/vst2_abi.h"

// Xlib's macros last: they would rename names in the headers above.
#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

struct Rig {
    PluginModule module;
    AEffect* fx = nullptr;
    Display* display = nullptr;
    Window frame = 0;

    bool Start(benchmark::State& state) {
        std::string error;
        if (!module.Open(VELMOR_PLUGIN_PATH, error) || !(fx = module.CreateEffect(Host, error))) {
            state.SkipWithError(error.c_str());
            return false;
        }
        display = XOpenDisplay(nullptr);
        if (!display) {
            state.SkipWithError("no X display (run under scripts/with-xvfb.sh)");
            return false;
        }
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        fx->dispatcher(fx, effSetBlockSize, 0, 256, nullptr, 0.0f);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
        const int screen = DefaultScreen(display);
        frame = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 456, 416, 0, 0, 0);
        XSelectInput(display, frame, StructureNotifyMask);
        XMapWindow(display, frame);
        XEvent event;
        do {
            XWindowEvent(display, frame, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
        return true;
    }
    ~Rig() {
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        if (display) XCloseDisplay(display);
    }
    void* Parent() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(frame)); }
};

void BM_OpenToFirstFrame(benchmark::State& state) {
    Rig rig;
    if (!rig.Start(state)) return;
    double openMs = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        rig.fx->dispatcher(rig.fx, effEditOpen, 0, 0, rig.Parent(), 0.0f);
        openMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        XSync(rig.display, False);
        state.PauseTiming();
        rig.fx->dispatcher(rig.fx, effEditClose, 0, 0, nullptr, 0.0f);
        state.ResumeTiming();
    }
    state.counters["open_ms"] = openMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_GuiThreadWithAudio(benchmark::State& state) {
    Rig rig;
    if (!rig.Start(state)) return;
    AEffect* fx = rig.fx;
    fx->dispatcher(fx, effEditOpen, 0, 0, rig.Parent(), 0.0f);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(256), out(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        long frames = 0;
        const Clock::time_point start = Clock::now();
        while (!stop.load()) {
            for (float& s : in)
                s = 0.7f * std::sin(2.0f * 3.14159265f * 220.0f * static_cast<float>(frames++) / 48000.0f);
            fx->processReplacing(fx, ins, outs, 256);
            std::this_thread::sleep_until(start + std::chrono::microseconds(frames * 1000000 / 48000));
        }
    });
    double cpuPerSecond = 0.0;
    for (auto _ : state) {
        const double cpu0 = ThreadCpuMs();
        const Clock::time_point start = Clock::now();
        Clock::time_point next = start;
        while (Clock::now() - start < std::chrono::seconds(2)) {
            fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
            next += std::chrono::milliseconds(20);
            std::this_thread::sleep_until(next);
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        cpuPerSecond += (ThreadCpuMs() - cpu0) / wall;
    }
    stop.store(true);
    audio.join();
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
    state.counters["gui_cpu_ms_per_s"] = cpuPerSecond / static_cast<double>(state.iterations());
}
BENCHMARK(BM_GuiThreadWithAudio)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// One scene in a child process, so that its open is the process's first.
bool DelaysInChild(AudioDelays* d, std::string& error) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        AudioDelays mine;
        std::string why;
        const bool ok = MeasureAudioDelays(VELMOR_PLUGIN_PATH, &mine, why);
        const ssize_t written = ok ? write(fds[1], &mine, sizeof mine) : 0;
        _exit(written == static_cast<ssize_t>(sizeof mine) ? 0 : 1);
    }
    close(fds[1]);
    const bool ok = child > 0 && read(fds[0], d, sizeof *d) == static_cast<ssize_t>(sizeof *d);
    close(fds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    if (!ok) error = "the scene failed (no display, or no plug-in)";
    return ok;
}

void BM_AudioDelayWhileTheEditorOpens(benchmark::State& state) {
    AudioDelays worst;
    for (auto _ : state) {
        AudioDelays d;
        std::string error;
        if (!DelaysInChild(&d, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        worst.usualMs = std::max(worst.usualMs, d.usualMs);
        worst.firstOpenMs = std::max(worst.firstOpenMs, d.firstOpenMs - d.usualMs);
        worst.tickMs = std::max(worst.tickMs, d.tickMs - d.usualMs);
        worst.reopenMs = std::max(worst.reopenMs, d.reopenMs - d.usualMs);
    }
    state.counters["usual_ms"] = worst.usualMs;
    state.counters["first_open_delay_ms"] = worst.firstOpenMs;
    state.counters["tick_delay_ms"] = worst.tickMs;
    state.counters["reopen_delay_ms"] = worst.reopenMs;
}
BENCHMARK(BM_AudioDelayWhileTheEditorOpens)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
