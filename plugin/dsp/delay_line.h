// Fixed-length delay: returns the sample written length - 1 calls ago, so a
// length of n delays by n - 1 samples and a length of 1 passes x through.
#pragma once

#include <vector>

#include "plugin/dsp/isa.h"
#include "plugin/dsp/lanes.h"

class DelayLine {
public:
    // A run of calls at the settled length, with the buffer and position in
    // the caller's registers (Begin ... End). Step is one call; StepAt is
    // one call at a position the caller keeps for several lines stepping
    // together (next is the position after it). RunOf<V> steps one line per
    // lane of V, lines of one length and position (BeginLanes ... EndLanes).
    template <class V>
    struct RunOf {
        double* buffer[velmor_dsp::kLanes<V>];
        int position;
        int length;
        VELMOR_ALWAYS_INLINE V StepAt(int at, int next, V x) {
            velmor_dsp::StoreLanes(buffer, at, x);
            return velmor_dsp::LoadLanes(buffer, next, V{});
        }
        VELMOR_ALWAYS_INLINE int Next(int at) const { return at + 1 < length ? at + 1 : 0; }
        VELMOR_ALWAYS_INLINE V Step(V x) {
            const int next = Next(position);
            const V y = StepAt(position, next, x);
            position = next;
            return y;
        }
    };
    using Run = RunOf<double>;

    // Audio thread, once per sample. The array is cleared and re-indexed
    // only when length changes (reallocated only past the reserve); length
    // <= 0 passes x through and stores nothing.
    double Process(double x, int length) {
        if (!Settle(length)) return x;
        Run run = Begin();
        const double y = run.Step(x);
        End(run);
        return y;
    }

    // n calls of Process with the same length, x[i] into y[i] (y may be x).
    // A delay moves samples and computes nothing, so the calls are done as
    // copies: each output is the input length - 1 calls earlier, from the
    // ring while the run is younger than that, from x after it.
    void ProcessBlock(const double* x, double* y, int n, int length);

    // What a call does before it stores: the position brought inside
    // length, the array sized to it. False when length <= 0 (nothing is
    // stored).
    bool Settle(int length) {
        if (mPosition >= length) mPosition = 0;
        if (length <= 0) return false;
        if (length != mLength) Resize(length);
        return true;
    }
    // After Settle.
    Run Begin() { return Run{{mBuffer.data()}, mPosition, mLength}; }
    void End(const Run& run) { mPosition = run.position; }
    // After Settle of every line, all at the first one's length and
    // position.
    template <class V>
    static RunOf<V> BeginLanes(DelayLine* const* lines) {
        RunOf<V> run{{}, lines[0]->mPosition, lines[0]->mLength};
        for (int l = 0; l < velmor_dsp::kLanes<V>; ++l) run.buffer[l] = lines[l]->mBuffer.data();
        return run;
    }
    template <class V>
    static void EndLanes(DelayLine* const* lines, const RunOf<V>& run) {
        for (int l = 0; l < velmor_dsp::kLanes<V>; ++l) lines[l]->mPosition = run.position;
    }

    // Zeroes the stored samples at the current size; keeps length and
    // position.
    void Clear();

    int Length() const { return mLength; }
    int Position() const { return mPosition; }

    // Not on the audio thread: makes room for lengths up to maxLength, so a
    // later length change reuses the storage instead of allocating.
    void Reserve(int maxLength);

private:
    void Resize(int length);

    std::vector<double> mBuffer;
    int mPosition = 0;
    int mLength = 0;
};
