// One-pole smoother of a control value (a gain, a corner frequency, the power
// mix). The value is smoothed in the range's normalised 0..1 space so that
// one tolerance fits every range; once it is within tolerance of the target
// the target itself is returned, which makes a settled value exact and lets
// the filters downstream keep their cached coefficients.
#pragma once

#include <cmath>

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
        const double range = hi - lo;
        const double t = (target - lo) / range;
        if (tolerance / range > std::fabs(t - mValue)) return target;  // settled: state untouched
        const double y = (mState - t) * mCoef + t;
        mValue = y;
        mState = y;
        if (velmor_dsp::IsZeroOrSubnormal(y)) {
            mState = 0.0;
            return lo;
        }
        return y * range + lo;
    }

    // The same as n calls of Process with these settings, into out[0..n).
    // Once the value is within tolerance the state is left untouched, so
    // every later call answers the target itself: the rest is filled in.
    // Returns true when every value is the target (settled from the start),
    // which lets a caller treat the block as one constant value.
    bool ProcessBlock(double target, int sampleRate, double timeMs, double lo, double hi, double tolerance, double* out,
                      int n) {
        for (int i = 0; i < n; ++i) {
            out[i] = Process(target, sampleRate, timeMs, lo, hi, tolerance);
            if (IsSettled(target, lo, hi, tolerance)) {
                const bool held = i == 0 && velmor_dsp::SameBits(out[0], target);
                for (++i; i < n; ++i) out[i] = target;
                return held;
            }
        }
        return false;
    }

    // Puts the smoother at target: the next Process answers target itself.
    // Not per sample: for a start where nothing should glide.
    void JumpTo(double target, double lo, double hi) {
        mValue = (target - lo) / (hi - lo);
        mState = mValue;
    }

    // Normalised state, for tests: value is the last smoothed value, state
    // the recursion state (0 after a flush even while value is subnormal).
    double Value() const { return mValue; }
    double State() const { return mState; }
    double Coef() const { return mCoef; }

private:
    void Retime(int sampleRate, double timeMs);

    // The test Process makes before touching the state.
    bool IsSettled(double target, double lo, double hi, double tolerance) const {
        const double range = hi - lo;
        const double t = (target - lo) / range;
        return tolerance / range > std::fabs(t - mValue);
    }

    double mValue = 0.0;
    double mState = 0.0;
    double mCachedTimeMs = 0.0;
    double mCoef = 0.0;
    int mCachedRate = 0;
};
