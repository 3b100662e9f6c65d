#include "plugin/dsp/biquad_cascade.h"

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}  // namespace

double PadeTan(double w) {
    const double w2 = w * w;
    return 5.0 * (21.0 * w - 2.0 * w2 * w) / (105.0 - 45.0 * w2 + w2 * w2);
}

BiquadSplit DesignSplit(double freqHz, double q, double sampleRate) {
    const double w = freqHz * kPi / sampleRate;
    const double k = PadeTan(w);
    const double k2 = k * k;
    const double norm = 1.0 / (1.0 + k / q + k2);
    BiquadSplit d;
    d.low.b1 = d.high.b1 = 2.0 * (k2 - 1.0) * norm;
    d.low.b2 = d.high.b2 = (1.0 - k / q + k2) * norm;
    d.low.a0 = k2 * norm;
    d.low.a1 = 2.0 * d.low.a0;
    d.low.a2 = d.low.a0;
    d.high.a0 = norm;
    d.high.a1 = -2.0 * norm;
    d.high.a2 = norm;
    return d;
}

BiquadCoefficients DesignBiquad(double freqHz, double q, double sampleRate, int type) {
    if (type != 0 && type != 1) return BiquadCoefficients{};
    const BiquadSplit d = DesignSplit(freqHz, q, sampleRate);
    return type == 0 ? d.low : d.high;
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

namespace {

// The lanes' coefficients of one design: each lane takes the half of its
// type, any other type silence.
template <class V>
velmor_dsp::SectionCoefficients<V> LaneCoefficients(const BiquadSplit& d, const int* types);

const BiquadCoefficients& OfType(const BiquadSplit& d, int type) {
    static const BiquadCoefficients kSilence{};
    return type == 0 ? d.low : (type == 1 ? d.high : kSilence);
}

template <>
velmor_dsp::SectionCoefficients<velmor_dsp::Lanes2> LaneCoefficients(const BiquadSplit& d, const int* types) {
    using velmor_dsp::Lanes2;
    const BiquadCoefficients& l0 = OfType(d, types[0]);
    const BiquadCoefficients& l1 = OfType(d, types[1]);
    return {Lanes2::Of(l0.a0, l1.a0), Lanes2::Of(l0.a1, l1.a1), Lanes2::Of(l0.b1, l1.b1), Lanes2::Of(l0.b2, l1.b2)};
}

template <>
velmor_dsp::SectionCoefficients<velmor_dsp::Lanes4> LaneCoefficients(const BiquadSplit& d, const int* types) {
    using velmor_dsp::Lanes4;
    const auto lo = LaneCoefficients<velmor_dsp::Lanes2>(d, types);
    const auto hi = LaneCoefficients<velmor_dsp::Lanes2>(d, types + 2);
    return {Lanes4::Of(lo.a0, hi.a0), Lanes4::Of(lo.a1, hi.a1), Lanes4::Of(lo.b1, hi.b1), Lanes4::Of(lo.b2, hi.b2)};
}

}  // namespace

template <class V>
void BiquadBank<V>::Redesign(double freqHz, double q, double gainDb, double sampleRate) {
    mFresh = false;
    mCachedRate = sampleRate;
    mCachedFreq = freqHz;
    mCachedQ = q;
    mCachedGainDb = gainDb;
    const double floored = q > BiquadCascade::kMinQ ? q : BiquadCascade::kMinQ;
    mCoef = LaneCoefficients<V>(DesignSplit(freqHz, floored, sampleRate), mTypes);
}

template class BiquadBank<velmor_dsp::Lanes2>;
template class BiquadBank<velmor_dsp::Lanes4>;
