// Two-speed one-pole follower of |x|: one time constant while the input is
// above the envelope, another while it is at or below it. Used for the
// limiter's gain and for the meters' needle ballistics.
#pragma once

#include "plugin/dsp/lanes.h"
#include "plugin/dsp/one_pole.h"

class EnvelopeFollower {
public:
    struct Coefficients {
        double rise;
        double fall;
    };

    // One step of the follower in every lane of V: |x|, the coefficient by
    // direction, the recursion, and a restart from rest instead of NaN. A
    // NaN or infinite input makes the recursion NaN (inf - inf), and a NaN
    // envelope never leaves NaN again; like the biquad's state, it starts
    // over from 0 so the follower recovers on clean input. The envelope is
    // always finite (it starts at 0, and with a rate above 0 the
    // coefficients lie in [0, 1)), so the result is NaN exactly where x is
    // not finite: the mask is taken from x, off the recursion's path.
    template <class V>
    static VELMOR_ALWAYS_INLINE V Step(V y, V x, V rise, V fall) {
        x = velmor_dsp::Abs(x);
        const V c = velmor_dsp::SelectGreater(x, y, rise, fall);
        return velmor_dsp::ZeroWhereNonFinite(x, (y - x) * c + x);
    }

    // Audio thread, once per sample. Times in ms; below 1e-10 ms a direction
    // is followed at once. Coefficients are remade only when a time moves by
    // 1e-10 or more or the sample rate changes.
    double Process(double x, int sampleRate, double riseMs, double fallMs) {
        const Coefficients c = Retimed(sampleRate, riseMs, fallMs);
        mY = Step(mY, x, c.rise, c.fall);
        return mY;
    }

    // For a loop that keeps the envelope in a register: the coefficients for
    // these times (remade as Process would), and the envelope to start from
    // and to leave behind.
    Coefficients Retimed(int sampleRate, double riseMs, double fallMs) {
        if (velmor_dsp::SettingChanged(riseMs, mCachedRiseMs) || velmor_dsp::SettingChanged(fallMs, mCachedFallMs) ||
            sampleRate != mCachedRate) {
            Retime(sampleRate, riseMs, fallMs);
        }
        return Coefficients{mCoefRise, mCoefFall};
    }
    double Value() const { return mY; }
    void SetValue(double y) { mY = y; }

    double CoefRise() const { return mCoefRise; }
    double CoefFall() const { return mCoefFall; }

    class SeriesPair;

private:
    void Retime(int sampleRate, double riseMs, double fallMs);

    double mY = 0.0;
    double mCoefRise = 0.0;
    double mCoefFall = 0.0;
    double mCachedRiseMs = 0.0;
    double mCachedFallMs = 0.0;
    int mCachedRate = 0;
};

// Two followers in series (1 feeds 2) for two signals at once, one signal per
// lane: a1 -> a2 follow xa, b1 -> b2 follow xb, as Process called in that
// order for each sample. The four envelopes stay in registers from
// construction to Finish (which stores them back). Another block's loop can
// carry it along: its recursion waits on its own latency, and interleaved
// with independent work it costs little more than that work. A copy carries
// the state on. Audio thread; the followers must not be used otherwise
// between construction and Finish.
class EnvelopeFollower::SeriesPair {
public:
    SeriesPair(EnvelopeFollower& a1, EnvelopeFollower& a2, EnvelopeFollower& b1, EnvelopeFollower& b2, int sampleRate,
               double rise1Ms, double fall1Ms, double rise2Ms, double fall2Ms)
        : mA1(&a1), mA2(&a2), mB1(&b1), mB2(&b2) {
        using velmor_dsp::Lanes2;
        const Coefficients ca1 = a1.Retimed(sampleRate, rise1Ms, fall1Ms);
        const Coefficients cb1 = b1.Retimed(sampleRate, rise1Ms, fall1Ms);
        const Coefficients ca2 = a2.Retimed(sampleRate, rise2Ms, fall2Ms);
        const Coefficients cb2 = b2.Retimed(sampleRate, rise2Ms, fall2Ms);
        mRise1 = Lanes2::Of(ca1.rise, cb1.rise);
        mFall1 = Lanes2::Of(ca1.fall, cb1.fall);
        mRise2 = Lanes2::Of(ca2.rise, cb2.rise);
        mFall2 = Lanes2::Of(ca2.fall, cb2.fall);
        mEnv1 = Lanes2::Of(a1.mY, b1.mY);
        mEnv2 = Lanes2::Of(a2.mY, b2.mY);
    }

    // a1 -> a2 follow xa, b1 -> b2 follow xb; ya and yb receive a2 and b2.
    VELMOR_ALWAYS_INLINE void Step(double xa, double xb, double& ya, double& yb) {
        mEnv1 = EnvelopeFollower::Step(mEnv1, velmor_dsp::Lanes2::Of(xa, xb), mRise1, mFall1);
        mEnv2 = EnvelopeFollower::Step(mEnv2, mEnv1, mRise2, mFall2);
        ya = velmor_dsp::Lane(mEnv2, 0);
        yb = velmor_dsp::Lane(mEnv2, 1);
    }

    void Finish() {
        mA1->mY = velmor_dsp::Lane(mEnv1, 0);
        mB1->mY = velmor_dsp::Lane(mEnv1, 1);
        mA2->mY = velmor_dsp::Lane(mEnv2, 0);
        mB2->mY = velmor_dsp::Lane(mEnv2, 1);
    }

private:
    velmor_dsp::Lanes2 mRise1, mFall1, mRise2, mFall2, mEnv1, mEnv2;
    EnvelopeFollower* mA1;
    EnvelopeFollower* mA2;
    EnvelopeFollower* mB1;
    EnvelopeFollower* mB2;
};
