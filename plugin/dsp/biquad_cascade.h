// Up to four identical second-order low- or high-pass sections in series
// (transposed direct form II, one shared set of coefficients), giving 12 to
// 48 dB per octave from one design. The tangent of the bilinear pre-warp is
// a [3/4] Pade approximation, so a gliding corner frequency costs no
// transcendental call.
#pragma once

#include <cmath>

#include "plugin/dsp/denormal_guard.h"

struct BiquadCoefficients {
    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
};

// Pade [3/4] approximant of tan(w): 5(21w - 2w^3) / (105 - 45w^2 + w^4).
double PadeTan(double w);

// Coefficients for corner freqHz at sampleRate. q is used as given (the
// cascade applies its floor before calling). Type 0 is low-pass, type 1
// high-pass; any other type gives all-zero coefficients (silence).
BiquadCoefficients DesignBiquad(double freqHz, double q, double sampleRate, int type);

class BiquadCascade {
public:
    static constexpr int kMaxSections = 4;
    static constexpr double kMinQ = 0.1;  // keeps 1/q finite and the poles inside the circle

    // Audio thread, once per sample: filters x through extraStages + 1
    // sections (extraStages 0..3; anything else computes nothing and returns
    // the previous output). Sets FTZ/DAZ for the duration of the call.
    double Process(double x, double freqHz, double q, double gainDb, double sampleRate, int type, int extraStages) {
        DenormalGuard guard;
        return ProcessFlushed(x, freqHz, q, gainDb, sampleRate, type, extraStages);
    }

    // The same arithmetic without touching the floating-point mode, for a
    // caller that already holds a DenormalGuard around a whole block.
    double ProcessFlushed(double x, double freqHz, double q, double gainDb, double sampleRate, int type,
                          int extraStages) {
        // A NaN or infinite sample would poison the recursion for good; the
        // state is scrubbed every twelve calls (the first on the third).
        if (mCheckCounter-- < 0) Scrub();
        CheckDesign(freqHz, q, gainDb, sampleRate, type);
        switch (extraStages) {
            case 0:
                return RunSections<1>(x);
            case 1:
                return RunSections<2>(x);
            case 2:
                return RunSections<3>(x);
            case 3:
                return RunSections<4>(x);
            default:
                return mLastOut;  // nothing computed
        }
    }

    // n calls of ProcessFlushed with the same settings, x[i] into y[i] (the
    // two may be the same array). The state stays in registers for the whole
    // run; the periodic scrub keeps its call count.
    void ProcessBlockFlushed(const double* x, double* y, int n, double freqHz, double q, double gainDb,
                             double sampleRate, int type, int extraStages);

    // ProcessBlockFlushed of two cascades that always receive the same
    // settings (the left and right filters of a stereo pair). When their
    // coefficients and check counters agree, as they do for such a pair, both
    // run together in the two lanes of SSE2 registers; IEEE arithmetic in a
    // lane is the arithmetic of a scalar, so the results are bit-identical.
    static void ProcessPairBlockFlushed(BiquadCascade& left, BiquadCascade& right, const double* xl, const double* xr,
                                        double* yl, double* yr, int n, double freqHz, double q, double gainDb,
                                        double sampleRate, int type, int extraStages);

    const BiquadCoefficients& Coefficients() const { return mCoef; }
    double CachedQ() const { return mCachedQ; }
    double LastOut() const { return mLastOut; }
    double Z1(int section) const { return mZ1[section]; }
    double Z2(int section) const { return mZ2[section]; }

private:
    // The sections in series, unrolled for a fixed count with the state in
    // locals: y = a0 x + z1; z1 = a1 x + z2 - b1 y; z2 = a2 x - b2 y.
    template <int kSections>
    double RunSections(double x) {
        const BiquadCoefficients c = mCoef;
        double y = x;
        for (int s = 0; s < kSections; ++s) {
            const double in = y;
            const double z1 = mZ1[s];
            const double z2 = mZ2[s];
            y = c.a0 * in + z1;
            mZ1[s] = c.a1 * in + z2 - c.b1 * y;
            mZ2[s] = c.a2 * in - c.b2 * y;
        }
        mLastOut = y;
        return y;
    }

    void CheckDesign(double freqHz, double q, double gainDb, double sampleRate, int type) {
        if (Changed(sampleRate, mCachedRate) || type != mCachedType || Changed(freqHz, mCachedFreq) ||
            Changed(q, mCachedQ) || Changed(gainDb, mCachedGainDb)) {
            Redesign(freqHz, q, gainDb, sampleRate, type);
        }
    }
    static bool Changed(double a, double b) { return std::fabs(a - b) >= 1e-10; }
    void Redesign(double freqHz, double q, double gainDb, double sampleRate, int type);
    void Scrub();

    double mLastOut = 0.0;
    double mCachedRate = 0.0;
    double mCachedFreq = 0.0;
    double mCachedQ = 0.0;  // as passed, before the floor
    double mCachedGainDb = 0.0;
    double mZ1[kMaxSections] = {};
    double mZ2[kMaxSections] = {};
    BiquadCoefficients mCoef;
    int mCheckCounter = 1;
    int mCachedType = 0;
};
