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
    // The fused loop needs every part settled on this length: the ring, the
    // average's window and both audio delays sized, every position inside.
    // After a length change the first sample goes through Process, which
    // settles them.
    int done = 0;
    if (len > 1 && !FusedReady(len)) {
        Process(inL[0], inR[0], threshold, attackMs, releaseMs, lookaheadMs, sampleRate);
        outL[0] = mOutL;
        outR[0] = mOutR;
        done = 1;
    }
    if (len > 1 && FusedReady(len)) {
        RunFused(inL + done, inR + done, outL + done, outR + done, n - done, threshold, attackMs, releaseMs,
                 sampleRate);
    } else {
        for (int i = done; i < n; ++i) {
            Process(inL[i], inR[i], threshold, attackMs, releaseMs, lookaheadMs, sampleRate);
            outL[i] = mOutL;
            outR[i] = mOutR;
        }
    }
}

bool LookaheadLimiter::FusedReady(int len) const {
    return mRingLength == len && mRingPosition < len && mGainAverage.mLength == len &&
           mGainAverage.mDelay.mLength == len && mGainAverage.mDelay.mPosition < len && mDelayL.mLength == len &&
           mDelayL.mPosition < len && mDelayR.mLength == len && mDelayR.mPosition < len;
}

// Process, one sample after another, with every part's state in locals and
// its settings checked once: the ring walk, the average, the gain follower
// and the two delays are separate recursions, so in one loop the processor
// overlaps them instead of waiting on each in turn.
void LookaheadLimiter::RunFused(const double* inL, const double* inR, double* outL, double* outR, int n,
                                double threshold, double attackMs, double releaseMs, int sampleRate) {
    if (n <= 0) return;
    const int len = mLength;
    EnvelopeFollower& env = mGainEnvelope;
    env.CheckTimes(sampleRate, releaseMs, attackMs);
    const double rise = env.mCoefRise;
    const double fall = env.mCoefFall;
    double gain = env.mY;

    double* ring = mRing.data();
    int position = mRingPosition;
    double held = mHeldPeak;
    int heldIndex = mHeldIndex;

    DelayLine& window = mGainAverage.mDelay;
    double* windowBuf = window.mBuffer.data();
    int windowPos = window.mPosition;
    double sum = mGainAverage.mSum;
    double left = 0.0;
    const double divisor = len - 1;

    double* delayL = mDelayL.mBuffer.data();
    double* delayR = mDelayR.mBuffer.data();
    int posL = mDelayL.mPosition;
    int posR = mDelayR.mPosition;

    for (int i = 0; i < n; ++i) {
        // Peak hold over the window; written without data-dependent branches
        // where the signal decides (a new peak, a target below 1): on noisy
        // program those are unpredictable and cost more than selects.
        const double aL = std::fabs(inL[i]);
        const double aR = std::fabs(inR[i]);
        const double m = aR > aL ? aR : aL;
        ring[position] = m;
        const bool newPeak = m >= held;
        if (!newPeak && heldIndex == position) {
            mHeldIndex = heldIndex;  // the held peak just left the window
            Rescan();
            held = mHeldPeak;
            heldIndex = mHeldIndex;
        }
        held = newPeak ? m : held;
        heldIndex = newPeak ? position : heldIndex;
        position = position + 1 < len ? position + 1 : 0;
        const double reduced = threshold / held;
        const double target = held > threshold ? reduced : 1.0;

        // Mean of the last len - 1 targets.
        windowBuf[windowPos] = target;
        windowPos = windowPos + 1 < len ? windowPos + 1 : 0;
        left = windowBuf[windowPos];
        sum = sum + target - left;
        double average = sum / divisor;
        average = velmor_dsp::IsZeroOrSubnormal(average) ? 0.0 : average;

        // Recovery with the release, reduction with the attack.
        const double a = std::fabs(average);
        const double c = a > gain ? rise : fall;
        const double next = (gain - a) * c + a;
        gain = std::isnan(next) ? 0.0 : next;

        // The audio, delayed to meet its gain.
        delayL[posL] = inL[i];
        posL = posL + 1 < len ? posL + 1 : 0;
        delayR[posR] = inR[i];
        posR = posR + 1 < len ? posR + 1 : 0;
        outL[i] = delayL[posL] * gain;
        outR[i] = delayR[posR] * gain;
    }

    mRingPosition = position;
    mHeldPeak = held;
    mHeldIndex = heldIndex;
    window.mPosition = windowPos;
    mGainAverage.mSum = sum;
    mGainAverage.mLastOut = left;
    env.mY = gain;
    mDelayL.mPosition = posL;
    mDelayR.mPosition = posR;
    mGain = gain;
    mOutL = outL[n - 1];
    mOutR = outR[n - 1];
}
