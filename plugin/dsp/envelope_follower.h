// Two-speed one-pole follower of |x|: one time constant while the input is
// above the envelope, another while it is at or below it. Used for the
// limiter's gain and for the meters' needle ballistics.
#pragma once

#include <cmath>

#include "plugin/dsp/isa.h"
#include "plugin/dsp/one_pole.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMOR_PAIRED_FOLLOWER 1
#else
#define VELMOR_PAIRED_FOLLOWER 0
#endif

class EnvelopeFollower {
public:
    // Audio thread, once per sample. Times in ms; below 1e-10 ms a direction
    // is followed at once. Coefficients are remade only when a time moves by
    // 1e-10 or more or the sample rate changes.
    double Process(double x, int sampleRate, double riseMs, double fallMs) {
        x = std::fabs(x);
        CheckTimes(sampleRate, riseMs, fallMs);
        const double c = x > mY ? mCoefRise : mCoefFall;
        const double y = (mY - x) * c + x;
        // A NaN or infinite input makes the recursion NaN (inf - inf), and a
        // NaN envelope never leaves NaN again. Restart from rest instead, as
        // the biquad does with its state, so the follower recovers on clean
        // input.
        mY = std::isnan(y) ? 0.0 : y;
        return mY;
    }

    // n calls of Process with the same settings, x[i] into y[i] (y may be x).
    void ProcessBlock(const double* x, double* y, int n, int sampleRate, double riseMs, double fallMs) {
        CheckTimes(sampleRate, riseMs, fallMs);
        const double rise = mCoefRise;
        const double fall = mCoefFall;
        double env = mY;
        for (int i = 0; i < n; ++i) {
            const double a = std::fabs(x[i]);
            const double c = a > env ? rise : fall;
            const double next = (env - a) * c + a;
            env = std::isnan(next) ? 0.0 : next;
            y[i] = env;
        }
        mY = env;
    }

    // Two followers in series (1 feeds 2), for two signals at once: a1→a2
    // follow xa, b1→b2 follow xb, and ya/yb receive the outputs of a2/b2.
    // Equal to Process called in that order for each sample, bit for bit
    // (the two signals run in the lanes of SSE2 registers, whose arithmetic
    // is scalar IEEE arithmetic, and both stages advance in one loop).
    static void ProcessPairSeries(EnvelopeFollower& a1, EnvelopeFollower& a2, EnvelopeFollower& b1,
                                  EnvelopeFollower& b2, const double* xa, const double* xb, double* ya, double* yb,
                                  int n, int sampleRate, double rise1Ms, double fall1Ms, double rise2Ms,
                                  double fall2Ms);

    class SeriesPair;

    double Value() const { return mY; }
    double CoefRise() const { return mCoefRise; }
    double CoefFall() const { return mCoefFall; }

private:
    friend class LookaheadLimiter;  // runs its parts fused, sample by sample

    void CheckTimes(int sampleRate, double riseMs, double fallMs) {
        if (velmor_dsp::SettingChanged(riseMs, mCachedRiseMs) || velmor_dsp::SettingChanged(fallMs, mCachedFallMs) ||
            sampleRate != mCachedRate) {
            Retime(sampleRate, riseMs, fallMs);
        }
    }
    void Retime(int sampleRate, double riseMs, double fallMs);

    double mY = 0.0;
    double mCoefRise = 0.0;
    double mCoefFall = 0.0;
    double mCachedRiseMs = 0.0;
    double mCachedFallMs = 0.0;
    int mCachedRate = 0;
};

// What ProcessPairSeries runs, one sample per Step, with the four envelopes
// held in registers from construction to Finish (which stores them back).
// Public so that another block's loop can carry it along: its recursion
// waits on its own latency, and interleaved with independent work it costs
// little more than that work. A copy carries the state on (the loop's own
// copy keeps it in registers). Audio thread; the followers must not be used
// otherwise between construction and Finish.
class EnvelopeFollower::SeriesPair {
public:
    SeriesPair(EnvelopeFollower& a1, EnvelopeFollower& a2, EnvelopeFollower& b1, EnvelopeFollower& b2, int sampleRate,
               double rise1Ms, double fall1Ms, double rise2Ms, double fall2Ms)
        : mA1(&a1), mA2(&a2), mB1(&b1), mB2(&b2) {
        a1.CheckTimes(sampleRate, rise1Ms, fall1Ms);
        b1.CheckTimes(sampleRate, rise1Ms, fall1Ms);
        a2.CheckTimes(sampleRate, rise2Ms, fall2Ms);
        b2.CheckTimes(sampleRate, rise2Ms, fall2Ms);
#if VELMOR_PAIRED_FOLLOWER
        mRise1 = _mm_set_pd(b1.mCoefRise, a1.mCoefRise);
        mFall1 = _mm_set_pd(b1.mCoefFall, a1.mCoefFall);
        mRise2 = _mm_set_pd(b2.mCoefRise, a2.mCoefRise);
        mFall2 = _mm_set_pd(b2.mCoefFall, a2.mCoefFall);
        mEnv1 = _mm_set_pd(b1.mY, a1.mY);
        mEnv2 = _mm_set_pd(b2.mY, a2.mY);
#else
        mRate = sampleRate;
        mTimes[0] = rise1Ms;
        mTimes[1] = fall1Ms;
        mTimes[2] = rise2Ms;
        mTimes[3] = fall2Ms;
#endif
    }

    // a1 -> a2 follow xa, b1 -> b2 follow xb; ya and yb receive a2 and b2.
    VELMOR_ALWAYS_INLINE void Step(double xa, double xb, double& ya, double& yb) {
#if VELMOR_PAIRED_FOLLOWER
        mEnv1 = StepLanes(mEnv1, _mm_set_pd(xb, xa), mRise1, mFall1);
        mEnv2 = StepLanes(mEnv2, mEnv1, mRise2, mFall2);
        _mm_store_sd(&ya, mEnv2);
        _mm_storeh_pd(&yb, mEnv2);
#else
        ya = mA2->Process(mA1->Process(xa, mRate, mTimes[0], mTimes[1]), mRate, mTimes[2], mTimes[3]);
        yb = mB2->Process(mB1->Process(xb, mRate, mTimes[0], mTimes[1]), mRate, mTimes[2], mTimes[3]);
#endif
    }

    void Finish() {
#if VELMOR_PAIRED_FOLLOWER
        _mm_store_sd(&mA1->mY, mEnv1);
        _mm_storeh_pd(&mB1->mY, mEnv1);
        _mm_store_sd(&mA2->mY, mEnv2);
        _mm_storeh_pd(&mB2->mY, mEnv2);
#endif
    }

private:
#if VELMOR_PAIRED_FOLLOWER
    // One step of Process in both lanes: |x|, the coefficient by direction,
    // the recursion, and a NaN result restarting from 0. An envelope is
    // always finite (it starts at 0 and a NaN result restarts it), so the
    // result is NaN exactly when x is not finite: the mask is taken from x
    // (x - x is NaN only for NaN and infinity), off the recursion's path.
    static VELMOR_ALWAYS_INLINE __m128d StepLanes(__m128d env, __m128d x, __m128d rise, __m128d fall) {
        x = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
        const __m128d bad = _mm_cmpunord_pd(_mm_sub_pd(x, x), _mm_setzero_pd());
        const __m128d above = _mm_cmpgt_pd(x, env);
        const __m128d c = _mm_or_pd(_mm_and_pd(above, rise), _mm_andnot_pd(above, fall));
        const __m128d next = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(env, x), c), x);
        return _mm_andnot_pd(bad, next);
    }

    __m128d mRise1, mFall1, mRise2, mFall2, mEnv1, mEnv2;
#endif
    EnvelopeFollower* mA1;
    EnvelopeFollower* mA2;
    EnvelopeFollower* mB1;
    EnvelopeFollower* mB2;
#if !VELMOR_PAIRED_FOLLOWER
    int mRate;
    double mTimes[4];
#endif
};
