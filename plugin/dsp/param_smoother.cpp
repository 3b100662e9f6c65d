#include "plugin/dsp/param_smoother.h"

// Out of line: runs only when the time or the sample rate changes.
void ParamSmoother::Retime(int sampleRate, double timeMs) {
    mCoef = velmor_dsp::OnePoleCoef(sampleRate, timeMs);
    mCachedTimeMs = timeMs;
    mCachedRate = sampleRate;
}

// Out of line: runs only when the target, lo, hi or tolerance changes.
void ParamSmoother::Renormalise(double target, double lo, double hi, double tolerance) {
    mCachedTarget = target;
    mCachedLo = lo;
    mCachedHi = hi;
    mCachedTolerance = tolerance;
    mRange = hi - lo;
    mTarget = (target - lo) / mRange;
    mToleranceRatio = tolerance / mRange;
}
