// Running mean of the last length - 1 inputs, kept as a running sum over a
// delay line so each sample costs one add and one subtract.
#pragma once

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/float_bits.h"

class MovingAverage {
public:
    // Audio thread, once per sample. A new length clears the window first;
    // length <= 1 passes x through.
    double Process(double x, int length) {
        if (length != mLength) Restart(length);
        if (length <= 1) return x;
        const double d = mDelay.Process(x, length);
        mSum = mSum + x - d;
        mLastOut = d;
        const double out = mSum / (length - 1);
        // The mean is flushed so that no subnormal leaves the block; the sum
        // is left as it is, since flushing it would lose what is still in
        // the window.
        return velmor_dsp::IsZeroOrSubnormal(out) ? 0.0 : out;
    }

    // Not on the audio thread: room for windows up to maxLength.
    void Reserve(int maxLength) { mDelay.Reserve(maxLength); }

    double Sum() const { return mSum; }
    double LastOut() const { return mLastOut; }

private:
    friend class LookaheadLimiter;  // runs its parts fused, sample by sample

    void Restart(int length);

    DelayLine mDelay;
    int mLength = 0;
    double mSum = 0.0;
    double mLastOut = 0.0;  // the value that last left the window
};
