// A repeating tick on the main thread where the window system has timers a
// plug-in may set itself: on Windows a thread timer, which the host's
// message loop delivers on its GUI thread (the CLAP main thread there). On
// Linux the host's timer-support drives the editor instead and Start fails.
//
// Threads: the main thread only (construction, Start, Stop, the tick).
#pragma once

class GuiTicker {
public:
    using Tick = void (*)(void* context);
    GuiTicker(Tick tick, void* context) : mTick(tick), mContext(context) {}
    ~GuiTicker() { Stop(); }
    GuiTicker(const GuiTicker&) = delete;
    GuiTicker& operator=(const GuiTicker&) = delete;

    // Ticks every periodMs until Stop; true when running (also when it ran
    // already).
    bool Start(unsigned periodMs);
    void Stop();

    // For the timer's callback.
    void Fire() { mTick(mContext); }

private:
    Tick mTick;
    void* mContext;
    unsigned long long mTimer = 0;  // the window system's timer id; 0: stopped
};
