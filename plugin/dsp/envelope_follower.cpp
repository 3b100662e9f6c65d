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

void EnvelopeFollower::ProcessPairBlock(EnvelopeFollower& a, const double* xa, double* ya, EnvelopeFollower& b,
                                        const double* xb, double* yb, int n, int sampleRate, double riseMs,
                                        double fallMs) {
#if VELMOR_PAIRED_FOLLOWER
    a.CheckTimes(sampleRate, riseMs, fallMs);
    b.CheckTimes(sampleRate, riseMs, fallMs);
    const __m128d rise = _mm_set_pd(b.mCoefRise, a.mCoefRise);
    const __m128d fall = _mm_set_pd(b.mCoefFall, a.mCoefFall);
    const __m128d signBit = _mm_set1_pd(-0.0);
    __m128d env = _mm_set_pd(b.mY, a.mY);
    for (int i = 0; i < n; ++i) {
        const __m128d x = _mm_andnot_pd(signBit, _mm_set_pd(xb[i], xa[i]));  // |x|
        const __m128d above = _mm_cmpgt_pd(x, env);
        const __m128d c = _mm_or_pd(_mm_and_pd(above, rise), _mm_andnot_pd(above, fall));
        const __m128d next = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(env, x), c), x);
        env = _mm_andnot_pd(_mm_cmpunord_pd(next, next), next);  // NaN restarts from 0
        _mm_store_sd(&ya[i], env);
        _mm_storeh_pd(&yb[i], env);
    }
    _mm_store_sd(&a.mY, env);
    _mm_storeh_pd(&b.mY, env);
#else
    a.ProcessBlock(xa, ya, n, sampleRate, riseMs, fallMs);
    b.ProcessBlock(xb, yb, n, sampleRate, riseMs, fallMs);
#endif
}
