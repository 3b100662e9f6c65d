// Two-speed one-pole follower of |x|: one time constant while the input is
// above the envelope, another while it is at or below it. Used for the
// limiter's gain and for the meters' needle ballistics.
#pragma once

#include <cmath>

#include "plugin/dsp/one_pole.h"

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
