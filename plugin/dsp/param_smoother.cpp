#include "plugin/dsp/param_smoother.h"

// Out of line: runs only when the time or the sample rate changes.
void ParamSmoother::Retime(int sampleRate, double timeMs) {
    mCoef = velmor_dsp::OnePoleCoef(sampleRate, timeMs);
    mCachedTimeMs = timeMs;
    mCachedRate = sampleRate;
}
