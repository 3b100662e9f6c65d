// One-pole smoother of a control value (a gain, a corner frequency, the power
// mix). The value is smoothed in the range's normalised 0..1 space so that
// one tolerance fits every range; once it is within tolerance of the target
// the target itself is returned, which makes a settled value exact and lets
// the filters downstream keep their cached coefficients.
#pragma once

#include <cmath>

#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/lanes.h"
#include "plugin/dsp/one_pole.h"

class ParamSmoother {
public:
    // Audio thread, once per sample. lo and hi only normalise the state and
    // the tolerance; a target outside them passes unclamped. hi must differ
    // from lo.
    double Process(double target, int sampleRate, double timeMs, double lo, double hi, double tolerance) {
        CheckTime(sampleRate, timeMs);
        Recursion r{mValue, mState, mCoef};
        const double y = r.Step(Target{target, lo, hi, tolerance});
        mValue = r.value;
        mState = r.state;
        return y;
    }

    // The same as n calls of Process with these settings, into out[0..n).
    // Once the value is within tolerance the state is left untouched, so
    // every later call answers the target itself: the rest is filled in.
    // Returns true when every value is the target (settled from the start),
    // which lets a caller treat the block as one constant value.
    bool ProcessBlock(double target, int sampleRate, double timeMs, double lo, double hi, double tolerance, double* out,
                      int n) {
        CheckTime(sampleRate, timeMs);
        const Target t{target, lo, hi, tolerance};
        // The state in locals: a store to out cannot touch it.
        Recursion r{mValue, mState, mCoef};
        for (int i = 0; i < n; ++i) {
            out[i] = r.Step(t);
            if (t.Settled(r.value)) {
                const bool held = i == 0 && velmor_dsp::SameBits(out[0], target);
                velmor_dsp::FillFrames(out + i + 1, n - i - 1, target);
                mValue = r.value;
                mState = r.state;
                return held;
            }
        }
        mValue = r.value;
        mState = r.state;
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
    // A target and its range, with what every call derives from them.
    struct Target {
        Target(double targetIn, double loIn, double hi, double tolerance)
            : target(targetIn), lo(loIn), range(hi - loIn), t((targetIn - loIn) / range), step(tolerance / range) {}
        // Within tolerance of the target: the call answers the target itself.
        bool Settled(double value) const { return step > std::fabs(t - value); }
        double target, lo, range, t, step;
    };

    void CheckTime(int sampleRate, double timeMs) {
        if (velmor_dsp::SettingChanged(timeMs, mCachedTimeMs) || sampleRate != mCachedRate) Retime(sampleRate, timeMs);
    }

    // The smoothed value and the recursion state, and one call after the
    // time check.
    struct Recursion {
        double value;
        double state;
        double coef;
        double Step(const Target& g) {
            if (g.Settled(value)) return g.target;  // settled: state untouched
            const double y = (state - g.t) * coef + g.t;
            value = y;
            state = y;
            if (velmor_dsp::IsZeroOrSubnormal(y)) {
                state = 0.0;
                return g.lo;
            }
            return y * g.range + g.lo;
        }
    };

    void Retime(int sampleRate, double timeMs);

    double mValue = 0.0;
    double mState = 0.0;
    double mCachedTimeMs = 0.0;
    double mCoef = 0.0;
    int mCachedRate = 0;
};
