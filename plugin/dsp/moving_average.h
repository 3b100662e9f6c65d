// Running mean of the last length - 1 inputs, kept as a running sum over a
// delay line so each sample costs one add and one subtract.
#pragma once

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/lanes.h"

class MovingAverage {
public:
    // A run of calls at a settled length of 2 or more, with the state in the
    // caller's registers (Begin ... End). RunOf<V> averages one window per
    // lane of V, windows of one length and position (BeginLanes ...
    // EndLanes).
    template <class V>
    struct RunOf {
        DelayLine::RunOf<V> window;
        V sum;
        V divisor;  // length - 1
        V last;
        // One call with the window at position at (next after it).
        VELMOR_ALWAYS_INLINE V StepAt(int at, int next, V x) {
            const V d = window.StepAt(at, next, x);
            sum = sum + x - d;
            last = d;
            // The mean is flushed so that no subnormal leaves the block; the
            // sum is left as it is, since flushing it would lose what is
            // still in the window.
            return velmor_dsp::FlushTiny(sum / divisor);
        }
        VELMOR_ALWAYS_INLINE V Step(V x) {
            const int next = window.Next(window.position);
            const V y = StepAt(window.position, next, x);
            window.position = next;
            return y;
        }
    };
    using Run = RunOf<double>;

    // Audio thread, once per sample. A new length clears the window first;
    // length <= 1 passes x through.
    double Process(double x, int length) {
        if (!Settle(length)) return x;
        Run run = Begin();
        const double y = run.Step(x);
        End(run);
        return y;
    }

    // What a call does before it averages: a new length clears the window
    // and the sum. False for length <= 1 (x passes through).
    bool Settle(int length) {
        if (length != mLength) Restart(length);
        return length > 1 && mDelay.Settle(length);
    }
    // After Settle answered true.
    Run Begin() {
        MovingAverage* const self[1] = {this};
        return BeginLanes<double>(self);
    }
    void End(const Run& run) {
        MovingAverage* const self[1] = {this};
        EndLanes(self, run);
    }
    // After Settle of every average answered true, all at the first one's
    // length and position.
    template <class V>
    static RunOf<V> BeginLanes(MovingAverage* const* averages) {
        DelayLine* lines[velmor_dsp::kLanes<V>];
        for (int l = 0; l < velmor_dsp::kLanes<V>; ++l) lines[l] = &averages[l]->mDelay;
        auto lane = [&](auto field) VELMOR_INLINE_LAMBDA {
            return velmor_dsp::LanesFrom(V{}, [&](int l) { return field(*averages[l]); });
        };
        return RunOf<V>{DelayLine::BeginLanes<V>(lines), lane([](const MovingAverage& a) { return a.mSum; }),
                        lane([](const MovingAverage& a) { return static_cast<double>(a.mLength - 1); }),
                        lane([](const MovingAverage& a) { return a.mLastOut; })};
    }
    template <class V>
    static void EndLanes(MovingAverage* const* averages, const RunOf<V>& run) {
        DelayLine* lines[velmor_dsp::kLanes<V>];
        for (int l = 0; l < velmor_dsp::kLanes<V>; ++l) lines[l] = &averages[l]->mDelay;
        DelayLine::EndLanes(lines, run.window);
        for (int l = 0; l < velmor_dsp::kLanes<V>; ++l) {
            averages[l]->mSum = velmor_dsp::Lane(run.sum, l);
            averages[l]->mLastOut = velmor_dsp::Lane(run.last, l);
        }
    }

    // Not on the audio thread: room for windows up to maxLength.
    void Reserve(int maxLength) { mDelay.Reserve(maxLength); }

    int Position() const { return mDelay.Position(); }
    double Sum() const { return mSum; }
    double LastOut() const { return mLastOut; }

private:
    void Restart(int length);

    DelayLine mDelay;
    int mLength = 0;
    double mSum = 0.0;
    double mLastOut = 0.0;  // the value that last left the window
};
