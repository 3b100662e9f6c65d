// Stereo-linked look-ahead peak limiter. The peak of both channels is held
// over the look-ahead window, turned into a target gain, averaged over the
// same window, shaped by attack and release, and applied to the audio
// delayed so that the reduction arrives together with the peak.
#pragma once

#include <vector>

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/lanes.h"
#include "plugin/dsp/moving_average.h"
#include "plugin/dsp/one_pole.h"

class LookaheadLimiter {
public:
    // Audio thread, once per sample. Sets OutL()/OutR() and returns OutR().
    // The audio is delayed by LookaheadLength(lookaheadMs, sampleRate) - 1
    // samples; the arrays are reallocated only when that length changes.
    double Process(double inL, double inR, double threshold, double attackMs, double releaseMs, double lookaheadMs,
                   int sampleRate) {
        ProcessBlock(&inL, &inR, &mOutL, &mOutR, 1, threshold, attackMs, releaseMs, lookaheadMs, sampleRate);
        return mOutR;
    }

    // n calls of Process with the same settings: inL/inR into outL/outR
    // (which may be the inputs), with bit-identical results and state.
    void ProcessBlock(const double* inL, const double* inR, double* outL, double* outR, int n, double threshold,
                      double attackMs, double releaseMs, double lookaheadMs, int sampleRate);

    // Audio thread. ProcessBlock with a follower pair carried along in the
    // same loop: after sample i, side.Step(sideA[i], sideB[i], sideA[i],
    // sideB[i]). The two recursions are independent, so interleaved they
    // overlap. side is left unfinished; its owner calls Finish.
    void ProcessBlockAlongside(const double* inL, const double* inR, double* outL, double* outR, int n,
                               double threshold, double attackMs, double releaseMs, double lookaheadMs, int sampleRate,
                               EnvelopeFollower::SeriesPair& side, double* sideA, double* sideB);

    // ProcessBlock of two independent limiters with the same threshold,
    // attack and look-ahead (a band split's two bands): while both stand at
    // one window position (as two limiters always driven together do) they
    // run side by side in the lanes of one register. Results as two
    // ProcessBlock calls.
    static void ProcessBlockPair(LookaheadLimiter& a, const double* aInL, const double* aInR, double* aOutL,
                                 double* aOutR, double aReleaseMs, LookaheadLimiter& b, const double* bInL,
                                 const double* bInR, double* bOutL, double* bOutR, double bReleaseMs, int n,
                                 double threshold, double attackMs, double lookaheadMs, int sampleRate);

    // Samples in the look-ahead window: trunc(sampleRate * ms * 0.001), 0
    // below 1e-10 ms. Lengths that do not fit an int (absurd rates or times)
    // count as 0, which turns the look-ahead off instead of overflowing.
    static int LookaheadLength(double lookaheadMs, int sampleRate) {
        if (lookaheadMs < velmor_dsp::kTimeEpsilon) return 0;
        const double n = static_cast<double>(sampleRate) * lookaheadMs * 0.001;
        if (!(n > 0.0) || n >= 2147483647.0) return 0;
        return static_cast<int>(n);
    }

    // Not on the audio thread: makes room for look-ahead lengths up to
    // maxLength in the ring, the average and both delays, so that a new rate
    // or look-ahead time within it clears and re-indexes that storage on the
    // audio thread instead of allocating.
    void Reserve(int maxLength);

    double OutL() const { return mOutL; }
    double OutR() const { return mOutR; }
    double Gain() const { return mGain; }
    // The largest peak in the window after the last call (0 when every peak
    // in it was NaN).
    double HeldPeak() const { return mHeldPeak; }

private:
    // The limiter's arithmetic over a run of samples, one limiter per lane
    // of V (double, or Lanes2 for two limiters side by side).
    template <class V, bool kWindowed, bool kShared>
    struct Run;

    // Settles every part on the window length for these settings, as a call
    // does before its arithmetic; answers the length.
    int Settle(double lookaheadMs, int sampleRate);
    void ResizeRing(int n);
    void StartCycle();
    // Runs body(run) with the run that fits the settled length and
    // positions, on the active instruction set.
    template <class Body>
    void WithRun(double threshold, double attackMs, double releaseMs, int sampleRate, Body body);

    // The window length for the last look-ahead time and rate.
    double mCachedLookaheadMs = 0.0;
    int mCachedRate = 0;
    int mLength = 0;

    double mOutL = 0.0;
    double mOutR = 0.0;
    double mGain = 1.0;

    // The peak ring and its maximum. The ring is filled in cycles from slot
    // 0 to its end: the slots up to the write position belong to this cycle,
    // the others to the last. The window's maximum is the larger of this
    // cycle's (mHead) and the last cycle's from the next slot on
    // (mCycleTail[slot + 1], made when a cycle starts; [length] is empty).
    // Peaks are never negative, NaN is never the larger, and an empty part
    // is 0, so the maximum is the largest number in the window, or 0.
    std::vector<double> mRing;
    std::vector<double> mCycleTail;
    int mRingPosition = 0;
    int mRingLength = 0;
    double mHead = 0.0;
    double mHeldPeak = 0.0;

    MovingAverage mGainAverage;
    EnvelopeFollower mGainEnvelope;
    DelayLine mDelayL;
    DelayLine mDelayR;
};
