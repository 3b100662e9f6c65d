// What the plug-in benchmarks share: the test signal every format's
// benchmark runs through the chain and the per-frame counters they report.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

constexpr float kRate = 48000.0f;

// A vocal-like test signal: a few partials with a slow level swell plus a
// little noise, peaking near -6 dBFS, so the limiters really work.
inline std::vector<double> VoiceLikeSignal(int frames, double detune) {
    std::vector<double> x(frames);
    std::uint32_t seed = 12345;
    const double kPi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const double t = i / static_cast<double>(kRate);
        const double swell = 0.5 + 0.5 * std::sin(2 * kPi * 3.0 * t);
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.02;
        x[i] = swell * (0.25 * std::sin(2 * kPi * (140.0 + detune) * t) + 0.15 * std::sin(2 * kPi * 420.0 * t) +
                        0.08 * std::sin(2 * kPi * 2500.0 * t)) +
               noise;
    }
    return x;
}

// Counters: time_per_frame (one stereo or mono frame) and realtime_x, how
// many times faster than real time one core runs the chain.
inline void SetCounters(benchmark::State& state, int framesPerIteration) {
    state.SetItemsProcessed(state.iterations() * framesPerIteration);
    // Seconds per frame; printed with its SI prefix (e.g. "58.1n" = 58.1 ns).
    state.counters["time_per_frame"] =
        benchmark::Counter(static_cast<double>(framesPerIteration),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(framesPerIteration) / kRate,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}
