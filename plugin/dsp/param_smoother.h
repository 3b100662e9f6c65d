// One-pole smoother of a control value (a gain, a corner frequency, the power
// mix). The value is smoothed in the range's normalised 0..1 space so that
// one tolerance fits every range; once it is within tolerance of the target
// the target itself is returned, which makes a settled value exact and lets
// the filters downstream keep their cached coefficients.
#pragma once

#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/one_pole.h"

class ParamSmoother {
public:
    // Audio thread, once per sample. lo and hi only normalise the state and
    // the tolerance; a target outside them passes unclamped. hi must differ
    // from lo.
    double Process(double target, int sampleRate, double timeMs, double lo, double hi, double tolerance) {
        if (velmor_dsp::SettingChanged(timeMs, mCachedTimeMs) || sampleRate != mCachedRate) {
            Retime(sampleRate, timeMs);
        }
        // The normalised target and tolerance are remade only when one of
        // their inputs changes: the two divisions are the costliest part of a
        // settled smoother, and the same inputs give the same quotients.
        if (!velmor_dsp::SameBits(target, mCachedTarget) || !velmor_dsp::SameBits(lo, mCachedLo) ||
            !velmor_dsp::SameBits(hi, mCachedHi) || !velmor_dsp::SameBits(tolerance, mCachedTolerance)) {
            Renormalise(target, lo, hi, tolerance);
        }
        const double t = mTarget;
        if (mToleranceRatio > std::fabs(t - mValue)) return target;  // settled: state untouched
        const double y = (mState - t) * mCoef + t;
        mValue = y;
        mState = y;
        if (velmor_dsp::IsZeroOrSubnormal(y)) {
            mState = 0.0;
            return lo;
        }
        return y * mRange + lo;
    }

    // Normalised state, for tests: value is the last smoothed value, state
    // the recursion state (0 after a flush even while value is subnormal).
    double Value() const { return mValue; }
    double State() const { return mState; }
    double Coef() const { return mCoef; }

private:
    void Retime(int sampleRate, double timeMs);
    void Renormalise(double target, double lo, double hi, double tolerance);

    double mValue = 0.0;
    double mState = 0.0;
    double mCachedTimeMs = 0.0;
    double mCoef = 0.0;
    int mCachedRate = 0;

    // Derived from the last target, lo, hi and tolerance; the initial values
    // are those derived from (0, 0, 1, 0), so the cache is never stale.
    double mCachedTarget = 0.0;
    double mCachedLo = 0.0;
    double mCachedHi = 1.0;
    double mCachedTolerance = 0.0;
    double mRange = 1.0;           // hi - lo
    double mTarget = 0.0;          // (target - lo) / range
    double mToleranceRatio = 0.0;  // tolerance / range
};
