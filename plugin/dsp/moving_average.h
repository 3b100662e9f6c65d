// Running mean of the last length - 1 inputs, kept as a running sum over a
// delay line so each sample costs one add and one subtract.
#pragma once

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/lanes.h"

class MovingAverage {
public:
    // A run of calls at a settled length of 2 or more, with the state in the
    // caller's registers (Begin ... End).
    struct Run {
        DelayLine::Run window;
        double sum;
        double divisor;  // length - 1
        double last;
        // One call with the window at position at (next after it).
        VELMOR_ALWAYS_INLINE double StepAt(int at, int next, double x) {
            const double d = window.StepAt(at, next, x);
            sum = sum + x - d;
            last = d;
            // The mean is flushed so that no subnormal leaves the block; the
            // sum is left as it is, since flushing it would lose what is
            // still in the window.
            return velmor_dsp::FlushTiny(sum / divisor);
        }
        VELMOR_ALWAYS_INLINE double Step(double x) {
            const int next = window.Next(window.position);
            const double y = StepAt(window.position, next, x);
            window.position = next;
            return y;
        }
    };

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
    Run Begin() { return Run{mDelay.Begin(), mSum, static_cast<double>(mLength - 1), mLastOut}; }
    void End(const Run& run) {
        mDelay.End(run.window);
        mSum = run.sum;
        mLastOut = run.last;
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
