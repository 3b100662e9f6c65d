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

namespace {

// The gain that brings peak down to threshold: threshold / peak where the
// peak is over it, else 1. For one limiter, whether the held peak is over
// the threshold is steady (the low band is driven far over it, the output
// limiter's ceiling is rarely reached), so the division stays behind a
// branch; lanes divide in every lane and keep the quotient where it counts.
VELMOR_ALWAYS_INLINE double GainDownTo(double threshold, double peak) {
    double target = 1.0;
    if (peak > threshold) target = threshold / peak;
    return target;
}
VELMOR_ALWAYS_INLINE velmor_dsp::Lanes2 GainDownTo(velmor_dsp::Lanes2 threshold, velmor_dsp::Lanes2 peak) {
    return velmor_dsp::SelectGreater(peak, threshold, threshold / peak, velmor_dsp::Broadcast(1.0, peak));
}

}  // namespace

// The limiter over a run of samples at a settled length, with every part's
// state in the caller's registers; one limiter per lane of V, all at one
// length and window position. kWindowed: a window of 2 samples or more
// (with 0 or 1 the peak is the sample's own, the average and the delays pass
// it through). kShared: the ring, the average's window and both delays are
// at one position (they step together, so they are unless a length of 0 or
// 1 came in between), kept once.
template <class V, bool kWindowed, bool kShared>
struct LookaheadLimiter::Run {
    static constexpr int kLanes = velmor_dsp::kLanes<V>;
    using Limiters = LookaheadLimiter* const*;

    Run(Limiters limiters, double thresholdIn, const EnvelopeFollower::Coefficients* c)
        : threshold(velmor_dsp::Broadcast(thresholdIn, V{})),
          rise(Lanes([&](int k) { return c[k].rise; })),
          fall(Lanes([&](int k) { return c[k].fall; })),
          gain(Lanes([&](int k) { return limiters[k]->mGainEnvelope.Value(); })),
          length(limiters[0]->mLength),
          position(limiters[0]->mRingPosition),
          head(Lanes([&](int k) { return limiters[k]->mHead; })),
          held(Lanes([&](int k) { return limiters[k]->mHeldPeak; })),
          sharedPosition(limiters[0]->mRingPosition) {
        for (int k = 0; k < kLanes; ++k) {
            l[k] = limiters[k];
            ring[k] = limiters[k]->mRing.data();
            tail[k] = limiters[k]->mCycleTail.data();
        }
        if (kWindowed) {
            MovingAverage* averages[kLanes];
            DelayLine* left[kLanes];
            DelayLine* right[kLanes];
            for (int k = 0; k < kLanes; ++k) {
                averages[k] = &limiters[k]->mGainAverage;
                left[k] = &limiters[k]->mDelayL;
                right[k] = &limiters[k]->mDelayR;
            }
            average = MovingAverage::BeginLanes<V>(averages);
            delayL = DelayLine::BeginLanes<V>(left);
            delayR = DelayLine::BeginLanes<V>(right);
        }
    }

    template <class F>
    static VELMOR_ALWAYS_INLINE V Lanes(F&& f) {
        return velmor_dsp::LanesFrom(V{}, f);
    }

    // Process's arithmetic on a stretch of samples, in two stages. Peaks
    // holds each sample's peak over the window and answers its target gain;
    // Applies averages the targets, shapes them and applies them to the
    // delayed audio. The stages share no state, so a block may run Peaks
    // over a stretch before Applies takes it: each stage keeps its own
    // order, and the bits are those of one call after the other. Two short
    // loops pipeline better than one long chain of dependent operations
    // per sample. Both walk the window in runs that end where it wraps, so
    // that the samples inside a run step their positions without a test.
    VELMOR_ALWAYS_INLINE V Peak(V inL, V inR) const {
        return velmor_dsp::Max(velmor_dsp::Abs(inR), velmor_dsp::Abs(inL));  // the right one only when larger
    }

    template <class Io>
    VELMOR_ALWAYS_INLINE void Peaks(const Io& io, int from, int to, V* target) {
        using velmor_dsp::Max;
        if (!kWindowed) {
            // A window of one: the ring's one slot, or no ring at all.
            for (int i = from; i < to; ++i) {
                const V m = Peak(io.L(i), io.R(i));
                held = length == 1 ? Max(m, velmor_dsp::Broadcast(0.0, m)) : m;
                target[i - from] = GainDownTo(threshold, held);
            }
            return;
        }
        for (int i = from; i < to;) {
            const int p0 = position;
            const int count = to - i < length - p0 ? to - i : length - p0;
            for (int j = 0; j < count; ++j) {
                const V m = Peak(io.L(i + j), io.R(i + j));
                velmor_dsp::StoreLanes(ring, p0 + j, m);
                head = Max(m, head);
                held = Max(velmor_dsp::LoadLanes(tail, p0 + j + 1, V{}), head);
                target[i + j - from] = GainDownTo(threshold, held);
            }
            i += count;
            position = p0 + count;
            if (position == length) {
                // Slot 0 comes next: a new cycle of the ring begins.
                position = 0;
                for (int k = 0; k < kLanes; ++k) l[k]->StartCycle();
                head = velmor_dsp::Broadcast(0.0, head);
            }
        }
    }

    // One sample's Apply, with the window at w and the delays at dl and dr
    // (each followed by its next position).
    VELMOR_ALWAYS_INLINE void ApplyAt(int w, int wNext, int dl, int dlNext, int dr, int drNext, V target, V inL, V inR,
                                      V& outL, V& outR) {
        const V a = average.StepAt(w, wNext, target);
        gain = EnvelopeFollower::Step(gain, a, rise, fall);
        // The audio, delayed to meet its gain.
        outL = delayL.StepAt(dl, dlNext, inL) * gain;
        outR = delayR.StepAt(dr, drNext, inR) * gain;
    }

    // io.Store(i, yL, yR) takes sample i's output, after which step(i)
    // runs.
    template <class Io, class Step>
    VELMOR_ALWAYS_INLINE void Applies(const V* target, const Io& io, int from, int to, Step& step) {
        if (!kWindowed) {
            // Recovery (gain rising) moves with the release, reduction with
            // the attack.
            for (int i = from; i < to; ++i) {
                gain = EnvelopeFollower::Step(gain, target[i - from], rise, fall);
                io.Store(i, io.L(i) * gain, io.R(i) * gain);
                step(i);
            }
            return;
        }
        auto one = [&](int i, int w, int wNext, int dl, int dlNext, int dr, int drNext) VELMOR_INLINE_LAMBDA {
            V yL, yR;
            ApplyAt(w, wNext, dl, dlNext, dr, drNext, target[i - from], io.L(i), io.R(i), yL, yR);
            io.Store(i, yL, yR);
            step(i);
        };
        if (!kShared) {
            for (int i = from; i < to; ++i) {
                const int w = average.window.position, wNext = average.window.Next(w);
                const int dl = delayL.position, dlNext = delayL.Next(dl);
                const int dr = delayR.position, drNext = delayR.Next(dr);
                one(i, w, wNext, dl, dlNext, dr, drNext);
                average.window.position = wNext;
                delayL.position = dlNext;
                delayR.position = drNext;
            }
            return;
        }
        // Up to the window's last slot every next position is the one
        // after; the last slot's is 0.
        const int last = length - 1;
        for (int i = from; i < to;) {
            const int p0 = sharedPosition;
            const int count = to - i < last - p0 ? to - i : last - p0;
            for (int j = 0; j < count; ++j) {
                const int p = p0 + j;
                one(i + j, p, p + 1, p, p + 1, p, p + 1);
            }
            i += count;
            sharedPosition = p0 + count;
            if (i < to && sharedPosition == last) {
                one(i, last, 0, last, 0, last, 0);
                ++i;
                sharedPosition = 0;
            }
        }
    }

    void End(V lastOutL, V lastOutR) {
        for (int k = 0; k < kLanes; ++k) {
            l[k]->mGainEnvelope.SetValue(velmor_dsp::Lane(gain, k));
            l[k]->mGain = velmor_dsp::Lane(gain, k);
            l[k]->mOutL = velmor_dsp::Lane(lastOutL, k);
            l[k]->mOutR = velmor_dsp::Lane(lastOutR, k);
            l[k]->mHeldPeak = velmor_dsp::Lane(held, k);
        }
        if (kWindowed) {
            if (kShared) average.window.position = delayL.position = delayR.position = sharedPosition;
            MovingAverage* averages[kLanes];
            DelayLine* left[kLanes];
            DelayLine* right[kLanes];
            for (int k = 0; k < kLanes; ++k) {
                l[k]->mRingPosition = position;
                l[k]->mHead = velmor_dsp::Lane(head, k);
                averages[k] = &l[k]->mGainAverage;
                left[k] = &l[k]->mDelayL;
                right[k] = &l[k]->mDelayR;
            }
            MovingAverage::EndLanes(averages, average);
            DelayLine::EndLanes(left, delayL);
            DelayLine::EndLanes(right, delayR);
        }
    }

    LookaheadLimiter* l[kLanes];
    const V threshold;
    const V rise;
    const V fall;
    V gain;
    const int length;
    double* ring[kLanes];
    const double* tail[kLanes];  // rewritten in place when a cycle starts
    int position;
    V head;
    V held;
    int sharedPosition;  // the average's and the delays' position, kShared
    MovingAverage::RunOf<V> average{};
    DelayLine::RunOf<V> delayL{};
    DelayLine::RunOf<V> delayR{};
};

namespace {

// The block loops run each stage over stretches of up to kStretch samples,
// the targets between the stages kept on the stack.
constexpr int kStretch = 256;
template <class Body>
VELMOR_ALWAYS_INLINE void ForStretches(int n, Body&& body) {
    for (int from = 0; from < n; from += kStretch) body(from, n - from < kStretch ? n : from + kStretch);
}

// The inputs and outputs of a block, one array per lane (an output may be
// its input).
template <class V>
struct LaneArrays {
    const double* const* inL;
    const double* const* inR;
    double* const* outL;
    double* const* outR;
    VELMOR_ALWAYS_INLINE V L(int i) const { return velmor_dsp::LoadLanes(inL, i, V{}); }
    VELMOR_ALWAYS_INLINE V R(int i) const { return velmor_dsp::LoadLanes(inR, i, V{}); }
    VELMOR_ALWAYS_INLINE void Store(int i, V yL, V yR) const {
        velmor_dsp::StoreLanes(outL, i, yL);
        velmor_dsp::StoreLanes(outR, i, yR);
    }
};

// The stages over a block, one stretch at a time: every Peak of a stretch,
// then every Apply. step(i) runs after sample i's Apply.
template <class V, class RunT, class Step>
VELMOR_ALWAYS_INLINE void RunStages(RunT& run, const double* const* inL, const double* const* inR, double* const* outL,
                                    double* const* outR, int n, Step&& step) {
    const LaneArrays<V> io{inL, inR, outL, outR};
    ForStretches(n, [&](int from, int to) VELMOR_INLINE_LAMBDA {
        V target[kStretch];
        run.Peaks(io, from, to, target);
        run.Applies(target, io, from, to, step);
    });
    run.End(velmor_dsp::LoadLanes(outL, n - 1, V{}), velmor_dsp::LoadLanes(outR, n - 1, V{}));
}

}  // namespace

template <class Body>
void LookaheadLimiter::WithRun(double threshold, double attackMs, double releaseMs, int sampleRate, Body body) {
    const EnvelopeFollower::Coefficients c = mGainEnvelope.Retimed(sampleRate, releaseMs, attackMs);
    LookaheadLimiter* const self[1] = {this};
    if (mLength <= 1) {
        Run<double, false, false> run(self, threshold, &c);
        body(run);
        return;
    }
    const bool shared = mGainAverage.Position() == mRingPosition && mDelayL.Position() == mRingPosition &&
                        mDelayR.Position() == mRingPosition;
    // Each run is built inside the loop's own copy, so its state can live in
    // registers.
    if (shared) {
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<double, true, true> run(self, threshold, &c);
            body(run);
        });
    } else {
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<double, true, false> run(self, threshold, &c);
            body(run);
        });
    }
}

void LookaheadLimiter::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR, int n,
                                    double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                    int sampleRate) {
    if (n <= 0) return;
    Settle(lookaheadMs, sampleRate);
    const double* const xL[1] = {inL};
    const double* const xR[1] = {inR};
    double* const yL[1] = {outL};
    double* const yR[1] = {outR};
    WithRun(threshold, attackMs, releaseMs, sampleRate, [&](auto& run) VELMOR_INLINE_LAMBDA {
        RunStages<double>(run, xL, xR, yL, yR, n, [](int) VELMOR_INLINE_LAMBDA {});
    });
}

void LookaheadLimiter::ProcessBlockAlongside(const double* inL, const double* inR, double* outL, double* outR, int n,
                                             double threshold, double attackMs, double releaseMs, double lookaheadMs,
                                             int sampleRate, EnvelopeFollower::SeriesPair& side, double* sideA,
                                             double* sideB) {
    if (n <= 0) return;
    Settle(lookaheadMs, sampleRate);
    const double* const xL[1] = {inL};
    const double* const xR[1] = {inR};
    double* const yL[1] = {outL};
    double* const yR[1] = {outR};
    WithRun(threshold, attackMs, releaseMs, sampleRate, [&](auto& run) VELMOR_INLINE_LAMBDA {
        EnvelopeFollower::SeriesPair pair = side;
        RunStages<double>(run, xL, xR, yL, yR, n,
                          [&](int i) VELMOR_INLINE_LAMBDA { pair.Step(sideA[i], sideB[i], sideA[i], sideB[i]); });
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
    auto sharedAt = [](LookaheadLimiter& l, int position) {
        return l.mRingPosition == position && l.mGainAverage.Position() == position &&
               l.mDelayL.Position() == position && l.mDelayR.Position() == position;
    };
    if (na > 1 && na == nb && sharedAt(a, a.mRingPosition) && sharedAt(b, a.mRingPosition)) {
        const EnvelopeFollower::Coefficients c[2] = {a.mGainEnvelope.Retimed(sampleRate, aReleaseMs, attackMs),
                                                     b.mGainEnvelope.Retimed(sampleRate, bReleaseMs, attackMs)};
        LookaheadLimiter* const both[2] = {&a, &b};
        const double* const xL[2] = {aInL, bInL};
        const double* const xR[2] = {aInR, bInR};
        double* const yL[2] = {aOutL, bOutL};
        double* const yR[2] = {aOutR, bOutR};
        velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
            Run<velmor_dsp::Lanes2, true, true> run(both, threshold, c);
            RunStages<velmor_dsp::Lanes2>(run, xL, xR, yL, yR, n, [](int) VELMOR_INLINE_LAMBDA {});
        });
        return;
    }
    a.ProcessBlock(aInL, aInR, aOutL, aOutR, n, threshold, attackMs, aReleaseMs, lookaheadMs, sampleRate);
    b.ProcessBlock(bInL, bInR, bOutL, bOutR, n, threshold, attackMs, bReleaseMs, lookaheadMs, sampleRate);
}
