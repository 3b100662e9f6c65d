// Stereo-linked look-ahead peak limiter. The peak of both channels is held
// over the look-ahead window, turned into a target gain, averaged over the
// same window, shaped by attack and release, and applied to the audio
// delayed so that the reduction arrives together with the peak.
#pragma once

#include <cmath>
#include <vector>

#include "plugin/dsp/delay_line.h"
#include "plugin/dsp/envelope_follower.h"
#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/moving_average.h"
#include "plugin/dsp/one_pole.h"

class LookaheadLimiter {
public:
    // Audio thread, once per sample. Sets OutL()/OutR() and returns OutR().
    // The audio is delayed by LookaheadLength(lookaheadMs, sampleRate) - 1
    // samples; the arrays are reallocated only when that length changes.
    double Process(double inL, double inR, double threshold, double attackMs, double releaseMs, double lookaheadMs,
                   int sampleRate) {
        UpdateLength(lookaheadMs, sampleRate);
        mMaximaValid = false;  // the ring changes behind the block form's maxima
        const int n = mLength;
        const double aL = std::fabs(inL);
        const double aR = std::fabs(inR);
        double m = aR > aL ? aR : aL;
        if (mRingPosition >= n) mRingPosition = 0;
        if (n > 0) {
            if (n != mRingLength) ResizeRing(n);
            double* ring = mRing.data();
            if (m >= mHeldPeak) {
                ring[mRingPosition] = m;
                mHeldIndex = mRingPosition;
                mHeldPeak = m;
            } else {
                ring[mRingPosition] = m;
                if (mHeldIndex == mRingPosition) Rescan();  // the held peak just left the window
            }
            m = mHeldPeak;
            if (++mRingPosition >= n) mRingPosition = 0;
        }
        const double target = m > threshold ? threshold / m : 1.0;
        const double a = mGainAverage.Process(target, n);
        // Recovery (gain rising) moves with the release, reduction with the
        // attack.
        mGain = mGainEnvelope.Process(a, sampleRate, releaseMs, attackMs);
        mOutL = mDelayL.Process(inL, n) * mGain;
        mOutR = mDelayR.Process(inR, n) * mGain;
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
    // attack and look-ahead (a band split's two bands), interleaved sample by
    // sample so their recursions overlap. Results as two ProcessBlock calls.
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
    double HeldPeak() const { return mHeldPeak; }
    int HeldIndex() const { return mHeldIndex; }

private:
    template <bool kShared>
    class FusedRun;

    void UpdateLength(double lookaheadMs, int sampleRate) {
        if (!velmor_dsp::SameBits(lookaheadMs, mCachedLookaheadMs) || sampleRate != mCachedRate) {
            mCachedLookaheadMs = lookaheadMs;
            mCachedRate = sampleRate;
            mLength = LookaheadLength(lookaheadMs, sampleRate);
        }
    }
    bool FusedReady(int len) const;
    bool SharedPosition() const;
    void RunFused(const double* inL, const double* inR, double* outL, double* outR, int n, double threshold,
                  double attackMs, double releaseMs, int sampleRate);
    void ResizeRing(int n);
    void Rescan();
    void StartCycle();
    void RebuildMaxima();

    // The window length for the last look-ahead time and rate.
    double mCachedLookaheadMs = 0.0;
    int mCachedRate = 0;
    int mLength = 0;

    double mOutL = 0.0;
    double mOutR = 0.0;
    double mGain = 1.0;
    std::vector<double> mRing;
    int mRingPosition = 0;
    int mRingLength = 0;
    double mHeldPeak = 0.0;
    int mHeldIndex = 0;

    // For the block form, which finds what Rescan finds without walking the
    // ring. The ring is filled in cycles from slot 0 to its end: the slots
    // before the write position belong to this cycle, the others to the
    // last. Of this cycle the largest value and, among equal ones, the last
    // slot are kept; of the last, the largest value from each slot to the
    // end. NaN is never the largest, and an empty part is -1. Valid while
    // only the block form has written the ring since they were built.
    struct SlotPeak {
        double value;
        int slot;
    };
    // Takes v at slot into p when not less than p's value (a later slot wins
    // a tie; NaN never wins).
    static void TakeIfNotLess(SlotPeak& p, double v, int slot) {
        const bool take = v >= p.value;
        p.value = take ? v : p.value;
        p.slot = take ? slot : p.slot;
    }
    std::vector<double> mCycleTail;  // [k]: slots k.. of the last cycle; [length] is empty
    SlotPeak mCycleHead{-1.0, -1};   // this cycle's slots so far
    bool mMaximaValid = false;
    MovingAverage mGainAverage;
    EnvelopeFollower mGainEnvelope;
    DelayLine mDelayL;
    DelayLine mDelayR;
};
