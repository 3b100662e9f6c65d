#include "tests/x11/audio_delay.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "vst/plugin_module.h"
#include "vst/vst2_abi.h"

// Xlib's macros last: they would rename names in the headers above.
#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

enum Phase { kQuiet, kFirstOpen, kTicks, kReopen, kPhases };

// Durations of the audio thread's calls, kept per phase of the GUI thread.
class CallLog {
public:
    void Add(int phase, double ms) {
        std::lock_guard<std::mutex> lock(mMutex);
        mCalls[phase].push_back(ms);
    }
    double Longest(int phase) {
        std::lock_guard<std::mutex> lock(mMutex);
        const std::vector<double>& c = mCalls[phase];
        return c.empty() ? 0.0 : *std::max_element(c.begin(), c.end());
    }
    double Median(int phase) {
        std::lock_guard<std::mutex> lock(mMutex);
        std::vector<double> c = mCalls[phase];
        if (c.empty()) return 0.0;
        std::nth_element(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(c.size() / 2), c.end());
        return c[c.size() / 2];
    }

private:
    std::mutex mMutex;
    std::vector<double> mCalls[kPhases];
};

// A mapped top-level frame for the editor.
Window MapFrame(Display* display) {
    const Window frame =
        XCreateSimpleWindow(display, RootWindow(display, DefaultScreen(display)), 0, 0, 456, 416, 0, 0, 0);
    XSelectInput(display, frame, StructureNotifyMask);
    XMapWindow(display, frame);
    XEvent event;
    do {
        XWindowEvent(display, frame, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    return frame;
}

void IdleFor(AEffect* fx, int ms) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

bool MeasureAudioDelays(const std::string& pluginPath, AudioDelays* delays, std::string& error) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error = "no X display (run under scripts/with-xvfb.sh)";
        return false;
    }
    PluginModule module;
    AEffect* fx = nullptr;
    if (!module.Open(pluginPath, error) || !(fx = module.CreateEffect(Host, error))) {
        XCloseDisplay(display);
        return false;
    }
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    fx->dispatcher(fx, effSetBlockSize, 0, 256, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    const Window frame = MapFrame(display);
    void* parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(frame));

    CallLog log;
    std::atomic<int> phase{kQuiet};
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(256), out(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {out.data(), out.data()};
        long frames = 0;
        Clock::time_point next = Clock::now();
        while (!stop.load()) {
            for (float& s : in)
                s = 0.5f * std::sin(2.0f * 3.14159265f * 220.0f * static_cast<float>(frames++) / 48000.0f);
            // The phase the call started in: a call the GUI thread held up
            // counts against what it was doing.
            const int now = phase.load();
            const Clock::time_point start = Clock::now();
            fx->processReplacing(fx, ins, outs, 256);
            log.Add(now, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            next += std::chrono::milliseconds(2);
            std::this_thread::sleep_until(next);
        }
    });

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    phase.store(kFirstOpen);
    fx->dispatcher(fx, effEditOpen, 0, 0, parent, 0.0f);
    IdleFor(fx, 200);
    phase.store(kTicks);
    IdleFor(fx, 1000);
    phase.store(kReopen);
    for (int i = 0; i < 3; ++i) {
        fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effEditOpen, 0, 0, parent, 0.0f);
        IdleFor(fx, 100);
    }
    phase.store(kQuiet);
    fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.store(true);
    audio.join();

    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    XDestroyWindow(display, frame);
    XCloseDisplay(display);

    delays->usualMs = log.Median(kQuiet);
    delays->firstOpenMs = log.Longest(kFirstOpen);
    delays->tickMs = log.Longest(kTicks);
    delays->reopenMs = log.Longest(kReopen);
    return true;
}
