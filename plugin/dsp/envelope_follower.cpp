#include "plugin/dsp/envelope_follower.h"

#include <cmath>

#include "plugin/dsp/one_pole.h"

using velmor_dsp::OnePoleCoef;
using velmor_dsp::SettingChanged;

double EnvelopeFollower::Process(double x, int sampleRate, double riseMs, double fallMs) {
    x = std::fabs(x);
    if (SettingChanged(riseMs, mCachedRiseMs) || SettingChanged(fallMs, mCachedFallMs) || sampleRate != mCachedRate) {
        mCoefRise = OnePoleCoef(sampleRate, riseMs);
        mCoefFall = OnePoleCoef(sampleRate, fallMs);
        mCachedRiseMs = riseMs;
        mCachedFallMs = fallMs;
        mCachedRate = sampleRate;
    }
    const double c = x > mY ? mCoefRise : mCoefFall;
    const double y = (mY - x) * c + x;
    // A NaN or infinite input makes the recursion NaN (inf - inf), and a NaN
    // envelope would never leave NaN again. Restart from rest instead, as the
    // biquad does with its state, so the follower recovers on clean input.
    mY = std::isnan(y) ? 0.0 : y;
    return mY;
}
