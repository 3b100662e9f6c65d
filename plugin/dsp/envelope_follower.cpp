#include "plugin/dsp/envelope_follower.h"

// Out of line: runs only when a time or the sample rate changes.
void EnvelopeFollower::Retime(int sampleRate, double riseMs, double fallMs) {
    mCoefRise = velmor_dsp::OnePoleCoef(sampleRate, riseMs);
    mCoefFall = velmor_dsp::OnePoleCoef(sampleRate, fallMs);
    mCachedRiseMs = riseMs;
    mCachedFallMs = fallMs;
    mCachedRate = sampleRate;
}

void EnvelopeFollower::ProcessPairSeries(EnvelopeFollower& a1, EnvelopeFollower& a2, EnvelopeFollower& b1,
                                         EnvelopeFollower& b2, const double* xa, const double* xb, double* ya,
                                         double* yb, int n, int sampleRate, double rise1Ms, double fall1Ms,
                                         double rise2Ms, double fall2Ms) {
    SeriesPair pair(a1, a2, b1, b2, sampleRate, rise1Ms, fall1Ms, rise2Ms, fall2Ms);
    for (int i = 0; i < n; ++i) pair.Step(xa[i], xb[i], ya[i], yb[i]);
    pair.Finish();
}
