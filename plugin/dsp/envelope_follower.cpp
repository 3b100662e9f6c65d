#include "plugin/dsp/envelope_follower.h"

// Out of line: runs only when a time or the sample rate changes.
void EnvelopeFollower::Retime(int sampleRate, double riseMs, double fallMs) {
    mCoefRise = velmor_dsp::OnePoleCoef(sampleRate, riseMs);
    mCoefFall = velmor_dsp::OnePoleCoef(sampleRate, fallMs);
    mCachedRiseMs = riseMs;
    mCachedFallMs = fallMs;
    mCachedRate = sampleRate;
}
