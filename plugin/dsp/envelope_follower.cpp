#include "plugin/dsp/envelope_follower.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMOR_PAIRED_FOLLOWER 1
#else
#define VELMOR_PAIRED_FOLLOWER 0
#endif

// Out of line: runs only when a time or the sample rate changes.
void EnvelopeFollower::Retime(int sampleRate, double riseMs, double fallMs) {
    mCoefRise = velmor_dsp::OnePoleCoef(sampleRate, riseMs);
    mCoefFall = velmor_dsp::OnePoleCoef(sampleRate, fallMs);
    mCachedRiseMs = riseMs;
    mCachedFallMs = fallMs;
    mCachedRate = sampleRate;
}

void EnvelopeFollower::ProcessPairSeries(EnvelopeFollower& a1, EnvelopeFollower& a2, EnvelopeFollower& b1,
                                         EnvelopeFollower& b2, const double* xa, const double* xb, double* ya,
                                         double* yb, int n, int sampleRate, double rise1Ms, double fall1Ms,
                                         double rise2Ms, double fall2Ms) {
#if VELMOR_PAIRED_FOLLOWER
    a1.CheckTimes(sampleRate, rise1Ms, fall1Ms);
    b1.CheckTimes(sampleRate, rise1Ms, fall1Ms);
    a2.CheckTimes(sampleRate, rise2Ms, fall2Ms);
    b2.CheckTimes(sampleRate, rise2Ms, fall2Ms);
    const __m128d rise1 = _mm_set_pd(b1.mCoefRise, a1.mCoefRise), fall1 = _mm_set_pd(b1.mCoefFall, a1.mCoefFall);
    const __m128d rise2 = _mm_set_pd(b2.mCoefRise, a2.mCoefRise), fall2 = _mm_set_pd(b2.mCoefFall, a2.mCoefFall);
    const __m128d signBit = _mm_set1_pd(-0.0);
    // One step of Process in both lanes: |x|, the coefficient by direction,
    // the recursion, and a NaN result restarting from 0.
    auto step = [signBit](__m128d env, __m128d x, __m128d rise, __m128d fall) {
        x = _mm_andnot_pd(signBit, x);
        const __m128d above = _mm_cmpgt_pd(x, env);
        const __m128d c = _mm_or_pd(_mm_and_pd(above, rise), _mm_andnot_pd(above, fall));
        const __m128d next = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(env, x), c), x);
        return _mm_andnot_pd(_mm_cmpunord_pd(next, next), next);
    };
    __m128d env1 = _mm_set_pd(b1.mY, a1.mY);
    __m128d env2 = _mm_set_pd(b2.mY, a2.mY);
    for (int i = 0; i < n; ++i) {
        env1 = step(env1, _mm_set_pd(xb[i], xa[i]), rise1, fall1);
        env2 = step(env2, env1, rise2, fall2);
        _mm_store_sd(&ya[i], env2);
        _mm_storeh_pd(&yb[i], env2);
    }
    _mm_store_sd(&a1.mY, env1);
    _mm_storeh_pd(&b1.mY, env1);
    _mm_store_sd(&a2.mY, env2);
    _mm_storeh_pd(&b2.mY, env2);
#else
    for (int i = 0; i < n; ++i) {
        ya[i] = a2.Process(a1.Process(xa[i], sampleRate, rise1Ms, fall1Ms), sampleRate, rise2Ms, fall2Ms);
        yb[i] = b2.Process(b1.Process(xb[i], sampleRate, rise1Ms, fall1Ms), sampleRate, rise2Ms, fall2Ms);
    }
#endif
}
