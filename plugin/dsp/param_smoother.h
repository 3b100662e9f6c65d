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
        Block block[1] = {{this, target, timeMs, lo, hi, tolerance, out, false}};
        ProcessBlocks(block, sampleRate, n);
        return block[0].held;
    }

    // ProcessBlock of several smoothers over the same n samples: a
    // smoother, its settings and out array, and (set by the call) its held.
    struct Block {
        ParamSmoother* smoother;
        double target, timeMs, lo, hi, tolerance;
        double* out;
        bool held;
    };
    // Each block as its own ProcessBlock. The smoothers still gliding step
    // in one loop: each recursion waits on its own last value, so stepped
    // together they overlap where one after the other they would queue.
    template <int kCount>
    static void ProcessBlocks(Block (&blocks)[kCount], int sampleRate, int n) {
        Glider gliders[kCount];
        int gliding = 0;
        for (Block& b : blocks) {
            b.smoother->CheckTime(sampleRate, b.timeMs);
            const Target t{b.target, b.lo, b.hi, b.tolerance};
            // Settled already: every call answers the target.
            b.held = n > 0 && t.Settled(b.smoother->mValue);
            if (b.held) {
                velmor_dsp::FillFrames(b.out, n, b.target);
            } else {
                gliders[gliding++] = Glider{b.smoother, t, b.out, &b.held};
            }
        }
        for (int from = 0; from < gliding; from += kMaxGliders) {
            const int count = gliding - from < kMaxGliders ? gliding - from : kMaxGliders;
            Glide(gliders + from, count, n);
        }
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
        Target() = default;
        Target(double targetIn, double loIn, double hi, double tolerance)
            : target(targetIn), lo(loIn), range(hi - loIn), t((targetIn - loIn) / range), step(tolerance / range) {}
        // Within tolerance of the target: the call answers the target itself.
        bool Settled(double value) const { return step > std::fabs(t - value); }
        double target = 0.0, lo = 0.0, range = 1.0, t = 0.0, step = 0.0;
    };

    void CheckTime(int sampleRate, double timeMs) {
        if (velmor_dsp::SettingChanged(timeMs, mCachedTimeMs) || sampleRate != mCachedRate) Retime(sampleRate, timeMs);
    }

    // The smoothed value and the recursion state, and one call after the
    // time check.
    struct Recursion {
        double value = 0.0;
        double state = 0.0;
        double coef = 0.0;
        double Step(const Target& g) {
            if (g.Settled(value)) return g.target;  // settled: state untouched
            return Advance(g);
        }
        // Step for a value known to be outside tolerance.
        double Advance(const Target& g) {
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

    // A smoother that has not settled, with its target, out array and
    // held flag.
    struct Glider {
        ParamSmoother* smoother;
        Target target;
        double* out;
        bool* held;
    };
    static constexpr int kMaxGliders = 4;
    // n calls of each glider's Process, all of them in one loop.
    static void Glide(const Glider* g, int count, int n) {
        switch (count) {
            case 1:
                return GlideAll<1>(g, n);
            case 2:
                return GlideAll<2>(g, n);
            case 3:
                return GlideAll<3>(g, n);
            default:
                return GlideAll<4>(g, n);
        }
    }
    template <int kCount>
    static VELMOR_ALWAYS_INLINE void GlideAll(const Glider* g, int n) {
        // In locals, which a store to an out array cannot touch.
        Target t[kCount];
        Recursion r[kCount];
        double* out[kCount];
        for (int k = 0; k < kCount; ++k) {
            t[k] = g[k].target;
            r[k] = Recursion{g[k].smoother->mValue, g[k].smoother->mState, g[k].smoother->mCoef};
            out[k] = g[k].out;
        }
        // Steps until every glider is within tolerance (one that gets there
        // first answers its target from then on, as its calls would); the
        // rest is the targets. A glider whose first call answers its target
        // exactly and settles holds, as ProcessBlock tells.
        // done[k]: within tolerance after the last step, which is what the
        // next call tests first (a glider starts outside it).
        bool done[kCount] = {};
        int i = 0;
        while (i < n) {
            bool settled = true;
            for (int k = 0; k < kCount; ++k) {
                if (done[k]) {
                    out[k][i] = t[k].target;
                } else {
                    out[k][i] = r[k].Advance(t[k]);
                    done[k] = t[k].Settled(r[k].value);
                }
                settled = done[k] && settled;
            }
            if (i++ == 0) {
                for (int k = 0; k < kCount; ++k) {
                    *g[k].held = done[k] && velmor_dsp::SameBits(out[k][0], t[k].target);
                }
            }
            if (settled) break;
        }
        for (int k = 0; k < kCount; ++k) {
            g[k].smoother->mValue = r[k].value;
            g[k].smoother->mState = r[k].state;
            velmor_dsp::FillFrames(out[k] + i, n - i, t[k].target);
        }
    }

    void Retime(int sampleRate, double timeMs);

    double mValue = 0.0;
    double mState = 0.0;
    double mCachedTimeMs = 0.0;
    double mCoef = 0.0;
    int mCachedRate = 0;
};
