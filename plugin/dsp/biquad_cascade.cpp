#include "plugin/dsp/biquad_cascade.h"

#include <cmath>

double PadeTan(double w) { return velmor_dsp::PadeTanOf(w); }

BiquadSplit DesignSplit(double freqHz, double q, double sampleRate) {
    const velmor_dsp::SplitDesign<double> s = velmor_dsp::DesignSplitOf(freqHz, q, sampleRate);
    BiquadSplit d;
    d.low = BiquadCoefficients{s.lowA0, s.lowA1, s.lowA0, s.b1, s.b2};
    d.high = BiquadCoefficients{s.highA0, s.highA1, s.highA0, s.b1, s.b2};
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
    SetDesign(DesignSplit(freqHz, floored, sampleRate));
}

template <class V>
void BiquadBank<V>::SetDesign(const BiquadSplit& d) {
    mCoef = LaneCoefficients<V>(d, mTypes);
}

template class BiquadBank<velmor_dsp::Lanes2>;
template class BiquadBank<velmor_dsp::Lanes4>;
