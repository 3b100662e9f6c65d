#include "plugin/dsp/lookahead_limiter.h"

#include "plugin/dsp/isa.h"

void LookaheadLimiter::Reserve(int maxLength) {
    if (maxLength <= 0) return;
    mRing.reserve(static_cast<std::size_t>(maxLength));
    mCycleTail.reserve(static_cast<std::size_t>(maxLength) + 1);
    mGainAverage.Reserve(maxLength);
    mDelayL.Reserve(maxLength);
    mDelayR.Reserve(maxLength);
}

int LookaheadLimiter::Settle(double lookaheadMs, int sampleRate) {
    if (!velmor_dsp::SameBits(lookaheadMs, mCachedLookaheadMs) || sampleRate != mCachedRate) {
        mCachedLookaheadMs = lookaheadMs;
        mCachedRate = sampleRate;
        mLength = LookaheadLength(lookaheadMs, sampleRate);
    }
    const int n = mLength;
    if (mRingPosition >= n) mRingPosition = 0;
    if (n > 0 && n != mRingLength) ResizeRing(n);
    mGainAverage.Settle(n);
    mDelayL.Settle(n);
    mDelayR.Settle(n);
    return n;
}

// Runs only when the look-ahead length changes; within the reserve the
// assigns clear the storage in place. The held peak belongs to the old ring
// and goes with it.
void LookaheadLimiter::ResizeRing(int n) {
    mRing.assign(static_cast<std::size_t>(n), 0.0);
    mCycleTail.assign(static_cast<std::size_t>(n) + 1, 0.0);
    mRingLength = n;
    mHead = 0.0;
    mHeldPeak = 0.0;
}

// At the write of slot 0 every slot holds the last cycle: the largest number
// from each slot to the end. The walk is one maximum per slot, each waiting
// on the one before; the two halves of the ring are walked side by side and
// the lower half then takes the upper half's maximum too.
void LookaheadLimiter::StartCycle() {
    const double* ring = mRing.data();
    double* tail = mCycleTail.data();
    const int n = mRingLength;
    const int mid = n / 2;
    tail[n] = 0.0;
    double upper = 0.0, lower = 0.0;
    int k = n - 1, j = mid - 1;
    if (n - mid > mid) {
        upper = velmor_dsp::Max(ring[k], upper);
        tail[k--] = upper;
    }
    for (; j >= 0; --k, --j) {
        upper = velmor_dsp::Max(ring[k], upper);
        lower = velmor_dsp::Max(ring[j], lower);
        tail[k] = upper;
        tail[j] = lower;
    }
    for (j = 0; j < mid; ++j) tail[j] = velmor_dsp::Max(tail[j], upper);
    mHead = 0.0;
}

// The limiter over a run of samples at a settled length, with every part's
// state in the caller's registers. kWindowed: a window of 2 samples or more
// (with 0 or 1 the peak is the sample's own, the average and the delays pass
// it through). kShared: the ring, the average's window and both delays are
// at one position (they step together, so they are unless a length of 0 or
// 1 came in between), kept once.
template <bool kWindowed, bool kShared>
struct LookaheadLimiter::Run {
    Run(LookaheadLimiter& limiter, double thresholdIn, EnvelopeFollower::Coefficients c)
        : l(limiter),
          threshold(thresholdIn),
          rise(c.rise),
          fall(c.fall),
          gain(limiter.mGainEnvelope.Value()),
          length(limiter.mLength),
          ring(limiter.mRing.data()),
          tail(limiter.mCycleTail.data()),
          position(limiter.mRingPosition),
          head(limiter.mHead),
          held(limiter.mHeldPeak),
          sharedPosition(limiter.mRingPosition) {
        if (kWindowed) {
            average = limiter.mGainAverage.Begin();
            delayL = limiter.mDelayL.Begin();
            delayR = limiter.mDelayR.Begin();
        }
    }

    // The gain that brings the held peak down to the threshold. Whether the
    // held peak is over it is steady (the low band is driven far over it,
    // the output limiter's ceiling is rarely reached), so the division stays
    // behind a branch.
    VELMOR_ALWAYS_INLINE double Target(double peak) const {
        double target = 1.0;
        if (peak > threshold) target = threshold / peak;
        return target;
    }

    // One call: Process's arithmetic on one sample, in two stages. Peak
    // holds the sample's peak over the window and answers the target gain;
    // Apply averages the target, shapes it and applies it to the delayed
    // audio. The stages share no state, so a block may run Peak over a
    // stretch of samples before Apply takes them: each stage keeps its own
    // order, and the bits are those of one call after the other. Two short
    // loops pipeline better than one long chain of dependent operations
    // per sample.
    VELMOR_ALWAYS_INLINE void Step(double inL, double inR, double& outL, double& outR) {
        Apply(Peak(inL, inR), inL, inR, outL, outR);
    }

    VELMOR_ALWAYS_INLINE double Peak(double inL, double inR) {
        using velmor_dsp::Max;
        const double m = Max(velmor_dsp::Abs(inR), velmor_dsp::Abs(inL));  // the right one only when larger
        if (!kWindowed) {
            // A window of one: the ring's one slot, or no ring at all.
            held = length == 1 ? Max(m, 0.0) : m;
            return Target(held);
        }
        const int p = position;
        const int next = p + 1 < length ? p + 1 : 0;
        ring[p] = m;
        head = Max(m, head);
        held = Max(tail[p + 1], head);
        position = next;
        if (next == 0) {
            // Slot 0 comes next: a new cycle of the ring begins.
            l.StartCycle();
            head = 0.0;
        }
        return Target(held);
    }

    VELMOR_ALWAYS_INLINE void Apply(double target, double inL, double inR, double& outL, double& outR) {
        if (!kWindowed) {
            // Recovery (gain rising) moves with the release, reduction with
            // the attack.
            gain = EnvelopeFollower::Step(gain, target, rise, fall);
            outL = inL * gain;
            outR = inR * gain;
            return;
        }
        const int p = kShared ? sharedPosition : 0;
        const int next = kShared ? (p + 1 < length ? p + 1 : 0) : 0;
        const int w = kShared ? p : average.window.position;
        const int wNext = kShared ? next : average.window.Next(w);
        const double a = average.StepAt(w, wNext, target);
        gain = EnvelopeFollower::Step(gain, a, rise, fall);
        // The audio, delayed to meet its gain.
        const int dl = kShared ? p : delayL.position;
        const int dlNext = kShared ? next : delayL.Next(dl);
        const int dr = kShared ? p : delayR.position;
        const int drNext = kShared ? next : delayR.Next(dr);
        outL = delayL.StepAt(dl, dlNext, inL) * gain;
        outR = delayR.StepAt(dr, drNext, inR) * gain;
        if (kShared) {
            sharedPosition = next;
        } else {
            average.window.position = wNext;
            delayL.position = dlNext;
            delayR.position = drNext;
        }
    }

    void End(double lastOutL, double lastOutR) {
        l.mGainEnvelope.SetValue(gain);
        l.mGain = gain;
        l.mOutL = lastOutL;
        l.mOutR = lastOutR;
        l.mHeldPeak = held;
        if (kWindowed) {
            l.mRingPosition = position;
            l.mHead = head;
            if (kShared) average.window.position = delayL.position = delayR.position = sharedPosition;
            l.mGainAverage.End(average);
            l.mDelayL.End(delayL);
            l.mDelayR.End(delayR);
        }
    }

    LookaheadLimiter& l;
    const double threshold;
    const double rise;
    const double fall;
    double gain;
    const int length;
    double* ring;
    const double* tail;  // rewritten in place when a cycle starts
    int position;
    double head;
    double held;
    int sharedPosition;  // the average's and the delays' position, kShared
    MovingAverage::Run average{};
    DelayLine::Run delayL{};
    DelayLine::Run delayR{};
};

namespace {

// The block loops run each stage over stretches of up to kStretch samples,
// the targets between the stages kept on the stack.
constexpr int kStretch = 64;
template <class Body>
VELMOR_ALWAYS_INLINE void ForStretches(int n, Body&& body) {
    for (int from = 0; from < n; from += kStretch) body(from, n - from < kStretch ? n : from + kStretch);
}

}  // namespace

template <class Body>
void LookaheadLimiter::WithRun(double threshold, double attackMs, double releaseMs, int sampleRate, Body body) {
    const EnvelopeFollower::Coefficients c = mGainEnvelope.Retimed(sampleRate, releaseMs, attackMs);
    if (mLength <= 1) {
        Run<false, false> run(*this, threshold, c);
        body(run);
        return;
    }
    const bool shared = mGainAverage.Position() == mRingPosition && mDelayL.Position() == mRingPosition &&
                        mDelayR.Position() == mRingPosition;
    // Each run is built inside the loop's own copy, so its state can live in
    // registers.
    if (shared) {
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<true, true> run(*this, threshold, c);
            body(run);
        });
    } else {
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<true, false> run(*this, threshold, c);
            body(run);
        });
    }
}

void LookaheadLimiter::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR, int n,
                                    double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                    int sampleRate) {
    if (n <= 0) return;
    Settle(lookaheadMs, sampleRate);
    WithRun(threshold, attackMs, releaseMs, sampleRate, [&](auto& run) VELMOR_INLINE_LAMBDA {
        ForStretches(n, [&](int from, int to) VELMOR_INLINE_LAMBDA {
            double target[kStretch];
            for (int i = from; i < to; ++i) target[i - from] = run.Peak(inL[i], inR[i]);
            for (int i = from; i < to; ++i) run.Apply(target[i - from], inL[i], inR[i], outL[i], outR[i]);
        });
        run.End(outL[n - 1], outR[n - 1]);
    });
}

void LookaheadLimiter::ProcessBlockAlongside(const double* inL, const double* inR, double* outL, double* outR, int n,
                                             double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                             int sampleRate, EnvelopeFollower::SeriesPair& side, double* sideA,
                                             double* sideB) {
    if (n <= 0) return;
    Settle(lookaheadMs, sampleRate);
    WithRun(threshold, attackMs, releaseMs, sampleRate, [&](auto& run) VELMOR_INLINE_LAMBDA {
        EnvelopeFollower::SeriesPair pair = side;
        ForStretches(n, [&](int from, int to) VELMOR_INLINE_LAMBDA {
            double target[kStretch];
            for (int i = from; i < to; ++i) target[i - from] = run.Peak(inL[i], inR[i]);
            for (int i = from; i < to; ++i) {
                run.Apply(target[i - from], inL[i], inR[i], outL[i], outR[i]);
                pair.Step(sideA[i], sideB[i], sideA[i], sideB[i]);
            }
        });
        run.End(outL[n - 1], outR[n - 1]);
        side = pair;
    });
}

void LookaheadLimiter::ProcessBlockPair(LookaheadLimiter& a, const double* aInL, const double* aInR, double* aOutL,
                                        double* aOutR, double aReleaseMs, LookaheadLimiter& b, const double* bInL,
                                        const double* bInR, double* bOutL, double* bOutR, double bReleaseMs, int n,
                                        double threshold, double attackMs, double lookaheadMs, int sampleRate) {
    if (n <= 0) return;
    const int na = a.Settle(lookaheadMs, sampleRate);
    const int nb = b.Settle(lookaheadMs, sampleRate);
    auto sharedAt = [](LookaheadLimiter& l) {
        return l.mGainAverage.Position() == l.mRingPosition && l.mDelayL.Position() == l.mRingPosition &&
               l.mDelayR.Position() == l.mRingPosition;
    };
    if (na > 1 && nb > 1 && sharedAt(a) && sharedAt(b)) {
        // Two independent limiters in one loop: their recursions overlap.
        const EnvelopeFollower::Coefficients ca = a.mGainEnvelope.Retimed(sampleRate, aReleaseMs, attackMs);
        const EnvelopeFollower::Coefficients cb = b.mGainEnvelope.Retimed(sampleRate, bReleaseMs, attackMs);
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<true, true> runA(a, threshold, ca);
            Run<true, true> runB(b, threshold, cb);
            ForStretches(n, [&](int from, int to) VELMOR_INLINE_LAMBDA {
                double targetA[kStretch], targetB[kStretch];
                for (int i = from; i < to; ++i) {
                    targetA[i - from] = runA.Peak(aInL[i], aInR[i]);
                    targetB[i - from] = runB.Peak(bInL[i], bInR[i]);
                }
                for (int i = from; i < to; ++i) {
                    runA.Apply(targetA[i - from], aInL[i], aInR[i], aOutL[i], aOutR[i]);
                    runB.Apply(targetB[i - from], bInL[i], bInR[i], bOutL[i], bOutR[i]);
                }
            });
            runA.End(aOutL[n - 1], aOutR[n - 1]);
            runB.End(bOutL[n - 1], bOutR[n - 1]);
        });
        return;
    }
    a.ProcessBlock(aInL, aInR, aOutL, aOutR, n, threshold, attackMs, aReleaseMs, lookaheadMs, sampleRate);
    b.ProcessBlock(bInL, bInR, bOutL, bOutR, n, threshold, attackMs, bReleaseMs, lookaheadMs, sampleRate);
}
