#include "plugin/dsp/lookahead_limiter.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMOR_SIMD_RESCAN 1
#else
#define VELMOR_SIMD_RESCAN 0
#endif

// Runs only when the look-ahead length changes. The held peak and its slot
// belong to the old ring: a slot beyond a shorter ring would never be
// overwritten, so never rescanned, and its stale peak would hold the gain
// down for good. They are cleared with the ring.
void LookaheadLimiter::ResizeRing(int n) {
    mRing.assign(static_cast<std::size_t>(n), 0.0);
    mRingLength = n;
    mHeldPeak = 0.0;
    mHeldIndex = 0;
}

// Finds the largest value in the ring; among equal maxima the last slot in
// ring order is held. This is the result of one forward walk with
// "ring[i] >= best" starting from best = 0, done in two cheaper passes:
// a maximum over four independent lanes, then a backward search for the last
// slot holding it. NaN slots never compare greater (or equal) and are skipped
// in both passes, so the held peak stays a number; if every slot is NaN the
// held slot stays where it was, as in the forward walk.
void LookaheadLimiter::Rescan() {
    const double* ring = mRing.data();
    const int n = mRingLength;
#if VELMOR_SIMD_RESCAN
    // maxpd is "a > b ? a : b" per lane, the comparison of the walk itself
    // (a NaN slot leaves the lane's best as it was).
    __m128d m0 = _mm_setzero_pd(), m1 = m0, m2 = m0, m3 = m0;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        m0 = _mm_max_pd(_mm_loadu_pd(ring + i), m0);
        m1 = _mm_max_pd(_mm_loadu_pd(ring + i + 2), m1);
        m2 = _mm_max_pd(_mm_loadu_pd(ring + i + 4), m2);
        m3 = _mm_max_pd(_mm_loadu_pd(ring + i + 6), m3);
    }
    m0 = _mm_max_pd(m1, m0);
    m2 = _mm_max_pd(m3, m2);
    m0 = _mm_max_pd(m2, m0);
    double b0 = _mm_cvtsd_f64(m0);
    const double b1 = _mm_cvtsd_f64(_mm_unpackhi_pd(m0, m0));
    b0 = b1 > b0 ? b1 : b0;
    for (; i < n; ++i) b0 = ring[i] > b0 ? ring[i] : b0;
    const double best = b0;
    // The last slot holding it, two slots at a time from the end.
    const __m128d wanted = _mm_set1_pd(best);
    int j = n - 1;
    if ((n & 1) != 0) {
        if (ring[j] == best) {
            mHeldIndex = j;
            mHeldPeak = best;
            return;
        }
        --j;
    }
    for (; j > 0; j -= 2) {
        const int hits = _mm_movemask_pd(_mm_cmpeq_pd(_mm_loadu_pd(ring + j - 1), wanted));
        if (hits != 0) {
            mHeldIndex = (hits & 2) != 0 ? j : j - 1;
            break;
        }
    }
#else
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, b3 = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        b0 = ring[i] > b0 ? ring[i] : b0;
        b1 = ring[i + 1] > b1 ? ring[i + 1] : b1;
        b2 = ring[i + 2] > b2 ? ring[i + 2] : b2;
        b3 = ring[i + 3] > b3 ? ring[i + 3] : b3;
    }
    for (; i < n; ++i) b0 = ring[i] > b0 ? ring[i] : b0;
    b0 = b1 > b0 ? b1 : b0;
    b2 = b3 > b2 ? b3 : b2;
    const double best = b2 > b0 ? b2 : b0;
    for (int j = n - 1; j >= 0; --j) {
        if (ring[j] == best) {
            mHeldIndex = j;
            break;
        }
    }
#endif
    mHeldPeak = best;
}

void LookaheadLimiter::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR, int n,
                                    double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                    int sampleRate) {
    if (n <= 0) return;
    if (!velmor_dsp::SameBits(lookaheadMs, mCachedLookaheadMs) || sampleRate != mCachedRate) {
        mCachedLookaheadMs = lookaheadMs;
        mCachedRate = sampleRate;
        mLength = LookaheadLength(lookaheadMs, sampleRate);
    }
    const int len = mLength;
    double target[kMaxBlock], gain[kMaxBlock], scratch[kMaxBlock];
    if (mRingPosition >= len) mRingPosition = 0;
    if (len > 0 && len != mRingLength) ResizeRing(len);
    // The ring walk keeps its position and held peak in locals; they go back
    // to the members only around a rescan, which reads and sets them.
    double* ring = mRing.data();
    int position = mRingPosition;
    double held = mHeldPeak;
    int heldIndex = mHeldIndex;
    for (int i = 0; i < n; ++i) {
        const double aL = std::fabs(inL[i]);
        const double aR = std::fabs(inR[i]);
        double m = aR > aL ? aR : aL;
        if (len > 0) {
            ring[position] = m;
            if (m >= held) {
                heldIndex = position;
                held = m;
            } else if (heldIndex == position) {
                mHeldIndex = heldIndex;  // the held peak just left the window
                Rescan();
                held = mHeldPeak;
                heldIndex = mHeldIndex;
            }
            m = held;
            if (++position >= len) position = 0;
        }
        target[i] = m > threshold ? threshold / m : 1.0;
    }
    mRingPosition = position;
    mHeldPeak = held;
    mHeldIndex = heldIndex;
    mGainAverage.ProcessBlock(target, gain, scratch, n, len);
    // Recovery (gain rising) moves with the release, reduction with the
    // attack.
    mGainEnvelope.ProcessBlock(gain, gain, n, sampleRate, releaseMs, attackMs);
    mDelayL.ProcessBlock(inL, scratch, n, len);
    for (int i = 0; i < n; ++i) outL[i] = scratch[i] * gain[i];
    mDelayR.ProcessBlock(inR, scratch, n, len);
    for (int i = 0; i < n; ++i) outR[i] = scratch[i] * gain[i];
    mGain = gain[n - 1];
    mOutL = outL[n - 1];
    mOutR = outR[n - 1];
}
