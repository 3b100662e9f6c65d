#include "plugin/dsp/lookahead_limiter.h"

#include <type_traits>

#include "plugin/dsp/isa.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMOR_SIMD_RESCAN 1
#else
#define VELMOR_SIMD_RESCAN 0
#endif

void LookaheadLimiter::Reserve(int maxLength) {
    if (maxLength <= 0) return;
    mRing.reserve(static_cast<std::size_t>(maxLength));
    mCycleTail.reserve(static_cast<std::size_t>(maxLength) + 1);
    mGainAverage.Reserve(maxLength);
    mDelayL.Reserve(maxLength);
    mDelayR.Reserve(maxLength);
}

// Runs only when the look-ahead length changes; within the reserve the
// assigns clear the storage in place. The held peak and its slot
// belong to the old ring: a slot beyond a shorter ring would never be
// overwritten, so never rescanned, and its stale peak would hold the gain
// down for good. They are cleared with the ring.
void LookaheadLimiter::ResizeRing(int n) {
    mRing.assign(static_cast<std::size_t>(n), 0.0);
    mCycleTail.assign(static_cast<std::size_t>(n) + 1, -1.0);
    mRingLength = n;
    mHeldPeak = 0.0;
    mHeldIndex = 0;
    mMaximaValid = false;
}

// At the write of slot 0 every slot holds the last cycle: the largest value
// from each slot to the end (maxsd is "a > b ? a : b", so a NaN slot leaves
// the maximum as it was). The entry past the end is the empty part.
void LookaheadLimiter::StartCycle() {
    const double* ring = mRing.data();
    double* tail = mCycleTail.data();
    double v = -1.0;
    tail[mRingLength] = v;
    auto take = [&](int k) {
        v = ring[k] > v ? ring[k] : v;
        tail[k] = v;
    };
    int k = mRingLength - 1;
    for (; k >= 3; k -= 4) {  // unrolled: the walk is one maxsd per slot
        take(k);
        take(k - 1);
        take(k - 2);
        take(k - 3);
    }
    for (; k >= 0; --k) take(k);
    mCycleHead = SlotPeak{-1.0, -1};
}

// The maxima of the ring as it stands, with the write position anywhere:
// the slots from it on still hold the last cycle.
void LookaheadLimiter::RebuildMaxima() {
    StartCycle();
    const double* ring = mRing.data();
    for (int k = 0; k < mRingPosition; ++k) TakeIfNotLess(mCycleHead, ring[k], k);
    mMaximaValid = true;
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
    UpdateLength(lookaheadMs, sampleRate);
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
// overlaps them instead of waiting on each in turn. Only for a limiter whose
// parts are all settled on its length (FusedReady).
//
// The held peak and its slot follow the one-sample rules exactly, but a
// rescan combines the two cycles' maxima instead of walking the ring: on a
// falling envelope the held peak leaves the window on every sample, and the
// walk would cost the whole window each time.
//
// The ring, the average's window and the two delays each keep a position.
// They step together, so they are equal unless a length of 0 or 1 (which
// leaves some of them still) came in between; kShared runs on one of them.
template <bool kShared>
class LookaheadLimiter::FusedRun {
public:
    FusedRun(LookaheadLimiter& limiter, double threshold, double attackMs, double releaseMs, int sampleRate)
        : mLimiter(PrepareMaxima(limiter)),
          mLen(limiter.mLength),
          mThreshold(threshold),
          mDivisor(limiter.mLength - 1),
          mRing(limiter.mRing.data()),
          mPosition(limiter.mRingPosition),
          mHeld(limiter.mHeldPeak),
          mHeldIndex(limiter.mHeldIndex),
          mWindow(limiter.mGainAverage.mDelay.mBuffer.data()),
          mWindowPos(limiter.mGainAverage.mDelay.mPosition),
          mSum(limiter.mGainAverage.mSum),
          mDelayL(limiter.mDelayL.mBuffer.data()),
          mDelayR(limiter.mDelayR.mBuffer.data()),
          mPosL(limiter.mDelayL.mPosition),
          mPosR(limiter.mDelayR.mPosition) {
        EnvelopeFollower& env = limiter.mGainEnvelope;
        env.CheckTimes(sampleRate, releaseMs, attackMs);
        mRise = env.mCoefRise;
        mFall = env.mCoefFall;
        mGain = env.mY;
    }

    VELMOR_ALWAYS_INLINE void Step(double inL, double inR, double& outL, double& outR) {
        const int p = mPosition;
        const int pNext = Next(p);

        // Peak hold over the window; a new peak is taken without a branch, as
        // on noisy program it is unpredictable. Whether the held peak is over
        // the threshold is steady (the low band is driven far over it, the
        // output limiter's ceiling is rarely reached), so the division stays
        // behind a branch.
        const double aL = std::fabs(inL);
        const double aR = std::fabs(inR);
        const double m = aR > aL ? aR : aL;
        mRing[p] = m;
        TakeIfNotLess(mHead, m, p);
        const bool newPeak = m >= mHeld;
        if (!newPeak && mHeldIndex == p) {
            // The held peak just left the window. Rescan would find the
            // larger of the two cycles' maxima, the last cycle's on a tie
            // (its slots come later); with no number in the ring the peak is
            // 0 and the held slot stays.
            const double tail = mTail[p + 1];
            if (mHead.value > tail) {
                mHeld = mHead.value;
                mHeldIndex = mHead.slot;
            } else if (tail >= 0.0) {
                // The last slot holding the tail's maximum is the last one
                // from which that maximum still runs to the end.
                int at = p + 1;
                while (mTail[at + 1] == tail) ++at;
                mHeld = tail;
                mHeldIndex = at;
            } else {
                mHeld = 0.0;
            }
        }
        mHeld = newPeak ? m : mHeld;
        mHeldIndex = newPeak ? p : mHeldIndex;
        double target = 1.0;
        if (mHeld > mThreshold) target = mThreshold / mHeld;

        // Mean of the last len - 1 targets.
        const int w = kShared ? p : mWindowPos;
        const int wNext = kShared ? pNext : Next(w);
        mWindow[w] = target;
        mLeft = mWindow[wNext];
        mSum = mSum + target - mLeft;
        double average = mSum / mDivisor;
        average = velmor_dsp::IsZeroOrSubnormal(average) ? 0.0 : average;

        // Recovery with the release, reduction with the attack.
        const double a = std::fabs(average);
        const double c = a > mGain ? mRise : mFall;
        const double next = (mGain - a) * c + a;
        mGain = std::isnan(next) ? 0.0 : next;

        // The audio, delayed to meet its gain.
        const int l = kShared ? p : mPosL;
        const int lNext = kShared ? pNext : Next(l);
        const int r = kShared ? p : mPosR;
        const int rNext = kShared ? pNext : Next(r);
        mDelayL[l] = inL;
        mDelayR[r] = inR;
        outL = mDelayL[lNext] * mGain;
        outR = mDelayR[rNext] * mGain;

        mPosition = pNext;
        if (!kShared) {
            mWindowPos = wNext;
            mPosL = lNext;
            mPosR = rNext;
        }
        if (pNext == 0) {
            // Slot 0 comes next: a new cycle of the ring begins.
            mLimiter.StartCycle();
            mHead = SlotPeak{-1.0, -1};
        }
    }

    void Finish(double lastOutL, double lastOutR) {
        LookaheadLimiter& l = mLimiter;
        l.mRingPosition = mPosition;
        l.mHeldPeak = mHeld;
        l.mHeldIndex = mHeldIndex;
        l.mCycleHead = mHead;
        l.mMaximaValid = true;
        l.mGainAverage.mDelay.mPosition = kShared ? mPosition : mWindowPos;
        l.mGainAverage.mSum = mSum;
        l.mGainAverage.mLastOut = mLeft;
        l.mGainEnvelope.mY = mGain;
        l.mDelayL.mPosition = kShared ? mPosition : mPosL;
        l.mDelayR.mPosition = kShared ? mPosition : mPosR;
        l.mGain = mGain;
        l.mOutL = lastOutL;
        l.mOutR = lastOutR;
    }

private:
    static LookaheadLimiter& PrepareMaxima(LookaheadLimiter& limiter) {
        if (!limiter.mMaximaValid) limiter.RebuildMaxima();
        return limiter;
    }

    int Next(int i) const { return i + 1 < mLen ? i + 1 : 0; }

    LookaheadLimiter& mLimiter;
    const int mLen;
    const double mThreshold;
    const double mDivisor;
    double mRise = 0.0, mFall = 0.0, mGain = 0.0;
    double* mRing;
    int mPosition;
    double mHeld;
    int mHeldIndex;
    const double* mTail = mLimiter.mCycleTail.data();
    SlotPeak mHead = mLimiter.mCycleHead;
    double* mWindow;
    int mWindowPos;
    double mSum;
    double mLeft = 0.0;
    double* mDelayL;
    double* mDelayR;
    int mPosL, mPosR;
};

bool LookaheadLimiter::SharedPosition() const {
    return mGainAverage.mDelay.mPosition == mRingPosition && mDelayL.mPosition == mRingPosition &&
           mDelayR.mPosition == mRingPosition;
}

namespace {

// The loops over one or two runs. The arguments are taken by value: the
// loop calls out (a new ring cycle), and a value the callee cannot reach
// need not be reloaded after each call. side(i) runs independent work for
// sample i in the same loop.
template <class Run, class Side>
VELMOR_ALWAYS_INLINE void StepOne(Run& run, const double* inL, const double* inR, double* outL, double* outR, int n,
                                  Side side) {
    for (int i = 0; i < n; ++i) {
        run.Step(inL[i], inR[i], outL[i], outR[i]);
        side(i);
    }
    run.Finish(outL[n - 1], outR[n - 1]);
}

template <class Run>
VELMOR_ALWAYS_INLINE void StepTwo(Run& a, const double* aInL, const double* aInR, double* aOutL, double* aOutR, Run& b,
                                  const double* bInL, const double* bInR, double* bOutL, double* bOutR, int n) {
    for (int i = 0; i < n; ++i) {
        a.Step(aInL[i], aInR[i], aOutL[i], aOutR[i]);
        b.Step(bInL[i], bInR[i], bOutL[i], bOutR[i]);
    }
    a.Finish(aOutL[n - 1], aOutR[n - 1]);
    b.Finish(bOutL[n - 1], bOutR[n - 1]);
}

// Runs run(kShared) with kShared as a type (std::true_type when every
// position agrees), so each case compiles its own loop.
template <class Run>
void WithPositions(bool shared, Run run) {
    if (shared) {
        run(std::true_type{});
    } else {
        run(std::false_type{});
    }
}

}  // namespace

// The fused loops run on the active instruction set. Each run object is built
// inside the loop's own copy, so its state can live in registers.
void LookaheadLimiter::RunFused(const double* inL, const double* inR, double* outL, double* outR, int n,
                                double threshold, double attackMs, double releaseMs, int sampleRate) {
    if (n <= 0) return;
    WithPositions(SharedPosition(), [&](auto shared) {
        constexpr bool kShared = decltype(shared)::value;
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            FusedRun<kShared> run(*this, threshold, attackMs, releaseMs, sampleRate);
            StepOne(run, inL, inR, outL, outR, n, [](int) VELMOR_INLINE_LAMBDA {});
        });
    });
}

void LookaheadLimiter::ProcessBlockAlongside(const double* inL, const double* inR, double* outL, double* outR, int n,
                                             double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                             int sampleRate, EnvelopeFollower::SeriesPair& side, double* sideA,
                                             double* sideB) {
    if (n <= 0) return;
    UpdateLength(lookaheadMs, sampleRate);
    if (mLength > 1 && FusedReady(mLength)) {
        WithPositions(SharedPosition(), [&](auto shared) {
            constexpr bool kShared = decltype(shared)::value;
            velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
                FusedRun<kShared> run(*this, threshold, attackMs, releaseMs, sampleRate);
                EnvelopeFollower::SeriesPair pair = side;
                StepOne(run, inL, inR, outL, outR, n,
                        [&](int i) VELMOR_INLINE_LAMBDA { pair.Step(sideA[i], sideB[i], sideA[i], sideB[i]); });
                side = pair;
            });
        });
        return;
    }
    ProcessBlock(inL, inR, outL, outR, n, threshold, attackMs, releaseMs, lookaheadMs, sampleRate);
    for (int i = 0; i < n; ++i) side.Step(sideA[i], sideB[i], sideA[i], sideB[i]);
}

void LookaheadLimiter::ProcessBlockPair(LookaheadLimiter& a, const double* aInL, const double* aInR, double* aOutL,
                                        double* aOutR, double aReleaseMs, LookaheadLimiter& b, const double* bInL,
                                        const double* bInR, double* bOutL, double* bOutR, double bReleaseMs, int n,
                                        double threshold, double attackMs, double lookaheadMs, int sampleRate) {
    if (n <= 0) return;
    a.UpdateLength(lookaheadMs, sampleRate);
    b.UpdateLength(lookaheadMs, sampleRate);
    if (a.mLength > 1 && b.mLength > 1 && a.FusedReady(a.mLength) && b.FusedReady(b.mLength)) {
        // Two independent limiters in one loop: their recursions overlap.
        WithPositions(a.SharedPosition() && b.SharedPosition(), [&](auto shared) {
            constexpr bool kShared = decltype(shared)::value;
            velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
                FusedRun<kShared> runA(a, threshold, attackMs, aReleaseMs, sampleRate);
                FusedRun<kShared> runB(b, threshold, attackMs, bReleaseMs, sampleRate);
                StepTwo(runA, aInL, aInR, aOutL, aOutR, runB, bInL, bInR, bOutL, bOutR, n);
            });
        });
        return;
    }
    a.ProcessBlock(aInL, aInR, aOutL, aOutR, n, threshold, attackMs, aReleaseMs, lookaheadMs, sampleRate);
    b.ProcessBlock(bInL, bInR, bOutL, bOutR, n, threshold, attackMs, bReleaseMs, lookaheadMs, sampleRate);
}
