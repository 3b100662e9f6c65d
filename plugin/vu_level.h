// The level side of a needle meter: the audio chain feeds it one value per
// sample, the editor's meter widget reads the smoothed level, the power flag
// and the Mode at redraw time.
//
// Threads: SetLevel and mPowerOn are written on the audio thread (under the
// plug-in lock), mMode by the parameter hook (under the lock); the editor
// reads all three without the lock. Relaxed atomics give the tear-free
// transfer that needs; a stale value only shows one redraw late.
#pragma once

#include <atomic>

#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/lanes.h"

class VuLevel {
public:
    // Audio thread. x is clipped to +6 dB, held by an instant-rise / 300 ms
    // fall peak follower, then the needle climbs with 300 ms and drops as fast
    // as the peak decays. sampleRate is the base's rate truncated to an int.
    void SetLevel(double x, int sampleRate);
    // SetLevel for x[0..n) in order; the level is published once, after the
    // last (the editor reads it at most 25 times a second).
    void SetLevels(const double* x, int n, int sampleRate);

    // Audio thread. SetLevels of two meters at once (the chain's drive and
    // output meters), in parts, for a block that carries their ballistics
    // along in its own loop: Clamp each level where it is made, step the
    // Ballistics over them (each level becomes the needle's value), Finish
    // them, and Publish the last needle values. Clamping twice is clamping
    // once, so levels clamped for these parts may also go to SetLevels.
    // In every lane of V (double or Lanes2): std::min(x, ceiling), NaN
    // passing.
    template <class V>
    static V Clamp(V x) {
        return velmor_dsp::Min(velmor_dsp::Broadcast(kLevelCeiling, x), x);
    }
    static EnvelopeFollower::SeriesPair Ballistics(VuLevel& a, VuLevel& b, int sampleRate);
    void Publish(double needle) { mLevel.store(needle, std::memory_order_relaxed); }

    // Editor thread.
    double Level() const { return mLevel.load(std::memory_order_relaxed); }

    std::atomic<bool> mPowerOn{true};
    std::atomic<int> mMode{0};

private:
    // +6 dB: the needle's end stop; louder input is held there.
    static constexpr double kLevelCeiling = 1.99526;

    EnvelopeFollower mPeakFollower;
    EnvelopeFollower mNeedleFollower;
    std::atomic<double> mLevel{0.0};
};
