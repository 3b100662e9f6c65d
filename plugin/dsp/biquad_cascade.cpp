#include "plugin/dsp/biquad_cascade.h"

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kScrubInterval = 10;  // counter value after a check: 12 calls apart

bool IsFinite(double v) { return std::isfinite(v); }
}  // namespace

double PadeTan(double w) {
    const double w2 = w * w;
    return 5.0 * (21.0 * w - 2.0 * w2 * w) / (105.0 - 45.0 * w2 + w2 * w2);
}

BiquadCoefficients DesignBiquad(double freqHz, double q, double sampleRate, int type) {
    BiquadCoefficients c;
    if (type != 0 && type != 1) return c;
    const double w = freqHz * kPi / sampleRate;
    const double k = PadeTan(w);
    const double k2 = k * k;
    const double norm = 1.0 / (1.0 + k / q + k2);
    c.b1 = 2.0 * (k2 - 1.0) * norm;
    c.b2 = (1.0 - k / q + k2) * norm;
    if (type == 0) {
        c.a0 = k2 * norm;
        c.a1 = 2.0 * c.a0;
        c.a2 = c.a0;
    } else {
        c.a0 = norm;
        c.a1 = -2.0 * norm;
        c.a2 = norm;
    }
    return c;
}

// Runs only when a setting or the sample rate changes (every sample while a
// smoothed corner frequency glides; the design is rational, no tan or exp).
void BiquadCascade::Redesign(double freqHz, double q, double gainDb, double sampleRate, int type) {
    mCachedRate = sampleRate;
    mCachedType = type;
    mCachedFreq = freqHz;
    mCachedQ = q;
    mCachedGainDb = gainDb;
    mCoef = DesignBiquad(freqHz, q > kMinQ ? q : kMinQ, sampleRate, type);
}

void BiquadCascade::Scrub() {
    mCheckCounter = kScrubInterval;
    for (int s = 0; s < kMaxSections; ++s) {
        if (!IsFinite(mZ1[s])) mZ1[s] = 0.0;
        if (!IsFinite(mZ2[s])) mZ2[s] = 0.0;
    }
    if (!IsFinite(mLastOut)) mLastOut = 0.0;
}
