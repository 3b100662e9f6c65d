// Up to four identical second-order low- or high-pass sections in series
// (transposed direct form II, one shared set of coefficients), giving 12 to
// 48 dB per octave from one design. The tangent of the bilinear pre-warp is
// a [3/4] Pade approximation, so a gliding corner frequency costs no
// transcendental call.
#pragma once

#include <cmath>
#include <type_traits>

#include "plugin/dsp/denormal_guard.h"
#include "plugin/dsp/lanes.h"

struct BiquadCoefficients {
    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;  // always a0 in the low- and high-pass designs
    double b1 = 0.0;
    double b2 = 0.0;
};

namespace velmor_dsp {

// Pade [3/4] approximant of tan(w): 5(21w - 2w^3) / (105 - 45w^2 + w^4), in
// every lane of V.
template <class V>
VELMOR_ALWAYS_INLINE V PadeTanOf(V w) {
    const V w2 = w * w;
    return Broadcast(5.0, w) * (Broadcast(21.0, w) * w - Broadcast(2.0, w) * w2 * w) /
           (Broadcast(105.0, w) - Broadcast(45.0, w) * w2 + w2 * w2);
}

// The low- and high-pass designs of one corner per lane of V (see
// DesignSplit); a2 is a0.
template <class V>
struct SplitDesign {
    V lowA0, lowA1, highA0, highA1, b1, b2;
};
template <class V>
VELMOR_ALWAYS_INLINE SplitDesign<V> DesignSplitOf(V freqHz, V q, V sampleRate) {
    const V w = freqHz * Broadcast(3.14159265358979323846, freqHz) / sampleRate;
    const V k = PadeTanOf(w);
    const V k2 = k * k;
    const V one = Broadcast(1.0, k);
    const V two = Broadcast(2.0, k);
    const V norm = one / (one + k / q + k2);
    SplitDesign<V> d;
    d.b1 = two * (k2 - one) * norm;
    d.b2 = (one - k / q + k2) * norm;
    d.lowA0 = k2 * norm;
    d.lowA1 = two * d.lowA0;
    d.highA0 = norm;
    d.highA1 = Broadcast(-2.0, k) * norm;
    return d;
}

}  // namespace velmor_dsp

// Pade [3/4] approximant of tan(w): 5(21w - 2w^3) / (105 - 45w^2 + w^4).
double PadeTan(double w);

// Coefficients for corner freqHz at sampleRate. q is used as given (the
// cascade applies its floor before calling). Type 0 is low-pass, type 1
// high-pass; any other type gives all-zero coefficients (silence).
BiquadCoefficients DesignBiquad(double freqHz, double q, double sampleRate, int type);

// The low- and high-pass designs of one corner together: they share the
// tangent, the norm and the feedback coefficients, which are worked out
// once. Each half has the bits DesignBiquad gives for its type.
struct BiquadSplit {
    BiquadCoefficients low;
    BiquadCoefficients high;
};
BiquadSplit DesignSplit(double freqHz, double q, double sampleRate);

namespace velmor_dsp {

// The periodic scrub of non-finite state: due on the calls where the
// counter was negative before its decrement, then re-armed, so checks run
// twelve calls apart (the first on a fresh cascade's third call).
constexpr int kScrubInterval = 10;
VELMOR_ALWAYS_INLINE bool ScrubDue(int& counter) {
    if (counter-- >= 0) return false;
    counter = kScrubInterval;
    return true;
}

// The same schedule for a run of calls at once. Of the calls to come, the
// one at index ScrubFirst(counter) is the first due, and every
// kScrubPeriod-th after it; ScrubCounterAfter gives the counter after n
// calls, as n calls of ScrubDue leave it.
constexpr int kScrubPeriod = kScrubInterval + 2;
VELMOR_ALWAYS_INLINE int ScrubFirst(int counter) { return counter < 0 ? 0 : counter + 1; }
VELMOR_ALWAYS_INLINE int ScrubCounterAfter(int counter, int n) {
    const int first = ScrubFirst(counter);
    return n <= first ? counter - n : kScrubInterval - (n - 1 - first) % kScrubPeriod;
}

// NaN and infinite state becomes 0: one NaN sample would otherwise poison
// the recursion for good.
template <class V>
VELMOR_ALWAYS_INLINE void ScrubSections(V* z1, V* z2, int sections) {
    for (int s = 0; s < sections; ++s) {
        z1[s] = ZeroNonFinite(z1[s]);
        z2[s] = ZeroNonFinite(z2[s]);
    }
}

// One design in every lane of V. a2 is not kept: it is a0 in every design,
// so a2 x is the product a0 x already made.
template <class V>
struct SectionCoefficients {
    V a0, a1, b1, b2;
};

// One section, transposed direct form II: y = a0 x + z1; z1 = a1 x + z2 -
// b1 y; z2 = a2 x - b2 y.
template <class V>
VELMOR_ALWAYS_INLINE V RunSection(const SectionCoefficients<V>& c, V& z1, V& z2, V x) {
    const V a0x = c.a0 * x;
    const V y = a0x + z1;
    z1 = c.a1 * x + z2 - c.b1 * y;
    z2 = a0x - c.b2 * y;
    return y;
}

// kSections sections in series, each with its own state.
template <int kSections, class V>
VELMOR_ALWAYS_INLINE V RunSections(const SectionCoefficients<V>& c, V* z1, V* z2, V x) {
    for (int s = 0; s < kSections; ++s) x = RunSection(c, z1[s], z2[s], x);
    return x;
}

}  // namespace velmor_dsp

class BiquadCascade {
public:
    static constexpr int kMaxSections = 4;
    static constexpr double kMinQ = 0.1;  // keeps 1/q finite and the poles inside the circle

    // Audio thread, once per sample: filters x through extraStages + 1
    // sections (extraStages 0..3; anything else computes nothing and returns
    // the previous output). Sets FTZ/DAZ for the duration of the call.
    double Process(double x, double freqHz, double q, double gainDb, double sampleRate, int type, int extraStages) {
        DenormalGuard guard;
        return ProcessFlushed(x, freqHz, q, gainDb, sampleRate, type, extraStages);
    }

    // The same arithmetic without touching the floating-point mode, for a
    // caller that already holds a DenormalGuard.
    double ProcessFlushed(double x, double freqHz, double q, double gainDb, double sampleRate, int type,
                          int extraStages) {
        if (velmor_dsp::ScrubDue(mCheckCounter)) {
            velmor_dsp::ScrubSections(mZ1, mZ2, kMaxSections);
            mLastOut = velmor_dsp::ZeroNonFinite(mLastOut);
        }
        if (Changed(sampleRate, mCachedRate) || type != mCachedType || Changed(freqHz, mCachedFreq) ||
            Changed(q, mCachedQ) || Changed(gainDb, mCachedGainDb)) {
            Redesign(freqHz, q, gainDb, sampleRate, type);
        }
        const velmor_dsp::SectionCoefficients<double> c{mCoef.a0, mCoef.a1, mCoef.b1, mCoef.b2};
        switch (extraStages) {
            case 0:
                return mLastOut = velmor_dsp::RunSections<1>(c, mZ1, mZ2, x);
            case 1:
                return mLastOut = velmor_dsp::RunSections<2>(c, mZ1, mZ2, x);
            case 2:
                return mLastOut = velmor_dsp::RunSections<3>(c, mZ1, mZ2, x);
            case 3:
                return mLastOut = velmor_dsp::RunSections<4>(c, mZ1, mZ2, x);
            default:
                return mLastOut;  // nothing computed
        }
    }

    // The cache rule of every cascade: a setting counts as changed when it
    // moved by 1e-10 or more.
    static bool Changed(double a, double b) { return std::fabs(a - b) >= 1e-10; }

    const BiquadCoefficients& Coefficients() const { return mCoef; }
    double CachedQ() const { return mCachedQ; }
    double LastOut() const { return mLastOut; }
    double Z1(int section) const { return mZ1[section]; }
    double Z2(int section) const { return mZ2[section]; }

private:
    void Redesign(double freqHz, double q, double gainDb, double sampleRate, int type);

    double mLastOut = 0.0;
    double mCachedRate = 0.0;
    double mCachedFreq = 0.0;
    double mCachedQ = 0.0;  // as passed, before the floor
    double mCachedGainDb = 0.0;
    double mZ1[kMaxSections] = {};
    double mZ2[kMaxSections] = {};
    BiquadCoefficients mCoef;
    int mCheckCounter = 1;
    int mCachedType = 0;
};

// Cascades of four sections side by side, one per lane of V, each lane with
// its own filter type (0 low-pass, 1 high-pass) and all with the same corner,
// q and rate: a stereo pair, or a band split's low and high pass of both
// channels. Every lane is the cascade BiquadCascade would be, called with the
// same settings and samples (extraStages 3): the same design, cache rule,
// scrub calls and sections. Audio thread, under a DenormalGuard.
template <class V>
class BiquadBank {
public:
    static constexpr int kSections = BiquadCascade::kMaxSections;

    explicit BiquadBank(const int (&types)[V::kCount]) {
        for (int l = 0; l < V::kCount; ++l) mTypes[l] = types[l];
    }

    // Settles the design for these settings, as each lane's cascade would on
    // its next call.
    VELMOR_ALWAYS_INLINE void Tune(double freqHz, double q, double gainDb, double sampleRate) {
        if (BiquadCascade::Changed(sampleRate, mCachedRate) || mFresh || BiquadCascade::Changed(freqHz, mCachedFreq) ||
            BiquadCascade::Changed(q, mCachedQ) || BiquadCascade::Changed(gainDb, mCachedGainDb)) {
            Redesign(freqHz, q, gainDb, sampleRate);
        }
    }
    const velmor_dsp::SectionCoefficients<V>& Coefficients() const { return mCoef; }

    // n calls of Tune, one per corner freqHz[0..n) (n at most kMaxBlock):
    // coef[i] gets the coefficients of sample i's call, in lane type W. The
    // designs the calls make are worked out together, D::kCount per register
    // of lane type D (Lanes4 or Lanes4Wide), each lane with the bits of its
    // own design.
    static constexpr int kMaxBlock = 256;
    template <class D, class W>
    VELMOR_ALWAYS_INLINE void TuneBlock(const double* freqHz, double q, double gainDb, double sampleRate, int n,
                                        velmor_dsp::SectionCoefficients<W>* coef) {
        // The cache walk of the calls, in order: which call designs, and
        // for which corner. Past the first call the rate, q and gain are
        // the cached ones (the first call either designed with them or
        // found them unchanged), so only the corner can move.
        int at[kMaxBlock];
        alignas(32) double corner[kMaxBlock + D::kCount];
        int designs = 0;
        double cached = mCachedFreq;  // in a local, which the stores below cannot touch
        auto design = [&](int i) VELMOR_INLINE_LAMBDA {
            cached = freqHz[i];
            at[designs] = i;
            corner[designs++] = cached;
        };
        if (n > 0 &&
            (BiquadCascade::Changed(sampleRate, mCachedRate) || mFresh || BiquadCascade::Changed(freqHz[0], cached) ||
             BiquadCascade::Changed(q, mCachedQ) || BiquadCascade::Changed(gainDb, mCachedGainDb))) {
            design(0);
        }
        for (int i = 1; i < n; ++i) {
            if (BiquadCascade::Changed(freqHz[i], cached)) design(i);
        }
        // Every design caches the settings it was made with.
        mCachedFreq = cached;
        if (designs > 0) {
            mFresh = false;
            mCachedRate = sampleRate;
            mCachedQ = q;
            mCachedGainDb = gainDb;
        }
        // The designs, a register at a time (spare lanes repeat the last).
        alignas(32) double lowA0[kMaxBlock + D::kCount], lowA1[kMaxBlock + D::kCount];
        alignas(32) double highA0[kMaxBlock + D::kCount], highA1[kMaxBlock + D::kCount];
        alignas(32) double b1[kMaxBlock + D::kCount], b2[kMaxBlock + D::kCount];
        for (int j = designs; j % D::kCount != 0; ++j) corner[j] = corner[designs - 1];
        const D floored = velmor_dsp::Broadcast(q > BiquadCascade::kMinQ ? q : BiquadCascade::kMinQ, D{});
        const D rate = velmor_dsp::Broadcast(sampleRate, D{});
        for (int j = 0; j < designs; j += D::kCount) {
            const velmor_dsp::SplitDesign<D> d =
                velmor_dsp::DesignSplitOf(velmor_dsp::Load4(corner + j, D{}), floored, rate);
            velmor_dsp::Store4(d.lowA0, lowA0 + j);
            velmor_dsp::Store4(d.lowA1, lowA1 + j);
            velmor_dsp::Store4(d.highA0, highA0 + j);
            velmor_dsp::Store4(d.highA1, highA1 + j);
            velmor_dsp::Store4(d.b1, b1 + j);
            velmor_dsp::Store4(d.b2, b2 + j);
        }
        // Each call runs with the latest design, every lane taking the half
        // of its type (SetDesign's choice, made once here per lane).
        static const double kSilence[kMaxBlock + D::kCount] = {};
        const double* a0Of[V::kCount];
        const double* a1Of[V::kCount];
        const double* bOf[V::kCount][2];
        for (int l = 0; l < V::kCount; ++l) {
            const int type = mTypes[l];
            a0Of[l] = type == 0 ? lowA0 : (type == 1 ? highA0 : kSilence);
            a1Of[l] = type == 0 ? lowA1 : (type == 1 ? highA1 : kSilence);
            bOf[l][0] = type == 0 || type == 1 ? b1 : kSilence;
            bOf[l][1] = type == 0 || type == 1 ? b2 : kSilence;
        }
        velmor_dsp::SectionCoefficients<W> latest;
        velmor_dsp::LaneCopy(latest.a0, mCoef.a0);
        velmor_dsp::LaneCopy(latest.a1, mCoef.a1);
        velmor_dsp::LaneCopy(latest.b1, mCoef.b1);
        velmor_dsp::LaneCopy(latest.b2, mCoef.b2);
        for (int i = 0, j = 0; i < n; ++i) {
            if (j < designs && at[j] == i) {
                latest.a0 = velmor_dsp::LanesFrom(W{}, [&](int l) { return a0Of[l][j]; });
                latest.a1 = velmor_dsp::LanesFrom(W{}, [&](int l) { return a1Of[l][j]; });
                latest.b1 = velmor_dsp::LanesFrom(W{}, [&](int l) { return bOf[l][0][j]; });
                latest.b2 = velmor_dsp::LanesFrom(W{}, [&](int l) { return bOf[l][1][j]; });
                ++j;
            }
            coef[i] = latest;
        }
        // The bank keeps the last design, as the calls would leave it.
        velmor_dsp::LaneCopy(mCoef.a0, latest.a0);
        velmor_dsp::LaneCopy(mCoef.a1, latest.a1);
        velmor_dsp::LaneCopy(mCoef.b1, latest.b1);
        velmor_dsp::LaneCopy(mCoef.b2, latest.b2);
    }

    // A run of calls with the state in the caller's registers: Begin copies
    // it out, Step is one call of every lane's cascade (after Tune), End puts
    // the state back. BeginAs, CoefficientsAs and EndAs do the same in the
    // lane type W of as many lanes (one register where V takes two).
    template <class W>
    struct RunOf;
    using Run = RunOf<V>;
    Run Begin() const { return mState; }
    void End(const Run& run) { mState = run; }

    template <class W>
    VELMOR_ALWAYS_INLINE RunOf<W> BeginAs() const {
        RunOf<W> run;
        for (int s = 0; s < kSections; ++s) {
            velmor_dsp::LaneCopy(run.z1[s], mState.z1[s]);
            velmor_dsp::LaneCopy(run.z2[s], mState.z2[s]);
        }
        run.counter = mState.counter;
        return run;
    }
    template <class W>
    VELMOR_ALWAYS_INLINE void EndAs(const RunOf<W>& run) {
        for (int s = 0; s < kSections; ++s) {
            velmor_dsp::LaneCopy(mState.z1[s], run.z1[s]);
            velmor_dsp::LaneCopy(mState.z2[s], run.z2[s]);
        }
        mState.counter = run.counter;
    }
    template <class W>
    VELMOR_ALWAYS_INLINE velmor_dsp::SectionCoefficients<W> CoefficientsAs() const {
        velmor_dsp::SectionCoefficients<W> c;
        velmor_dsp::LaneCopy(c.a0, mCoef.a0);
        velmor_dsp::LaneCopy(c.a1, mCoef.a1);
        velmor_dsp::LaneCopy(c.b1, mCoef.b1);
        velmor_dsp::LaneCopy(c.b2, mCoef.b2);
        return c;
    }

    template <class W>
    struct RunOf {
        W z1[kSections];
        W z2[kSections];
        int counter;
        VELMOR_ALWAYS_INLINE W Step(const velmor_dsp::SectionCoefficients<W>& c, W x) {
            if (velmor_dsp::ScrubDue(counter)) velmor_dsp::ScrubSections(z1, z2, kSections);
            return velmor_dsp::RunSections<kSections>(c, z1, z2, x);
        }

        // n calls of Step, sample i's with the coefficients coef(i), the
        // sections skewed:
        // in pass t section s takes sample t - s, so the sections of a pass
        // do not wait on each other and overlap in the pipeline, where one
        // sample through the sections in a row is one chain of dependent
        // operations. Each section sees the same inputs in the same order as
        // under Step, and is scrubbed right before the sample whose call
        // scrubs, so every bit is Step's. in(i) gives sample i's input,
        // out(i, y) takes its output, in order.
        //
        // The scrubs are known before the run starts: a sample d whose call
        // scrubs has section s scrubbed in pass d + s, and such samples lie
        // kScrubPeriod (more than kSections) apart. So the passes go in
        // stretches without any scrub test, each stretch ending where the
        // kSections passes of the next scrubbing sample begin. In a run of
        // at least kSections samples the first and last kSections - 1
        // passes (the pipe filling and draining) have fixed sets of
        // sections, and at most one scrubbing sample each: the run's first
        // and its last.
        //
        // With P twice as wide as W (P = W: no packing), the passes with
        // every section busy run the sections two to a register of P: their
        // state then fits the registers, where four sections of W would
        // spill. Only for coefficients held over the run (c the same for
        // every sample).
        template <class P = W, class Coef, class In, class Out>
        VELMOR_ALWAYS_INLINE void Steps(Coef&& c, int n, In&& in, Out&& out) {
            if (n <= 0) return;
            static_assert(velmor_dsp::kScrubPeriod >= kSections, "the scrub passes of two samples would overlap");
            W pipe[kSections] = {};  // pipe[s]: section s's output in the last pass
            const int first = velmor_dsp::ScrubFirst(counter);
            if (n < kSections) {
                // Shorter than the pipe: some section idles in every pass,
                // and only the first scrubbing sample can fall in the run.
                for (int t = 0; t < n + kLast; ++t) Pass<0, kLast, true, kScrubAt>(c, t, n, pipe, in, out, first);
                counter = velmor_dsp::ScrubCounterAfter(counter, n);
                return;
            }
            FillPasses<0>(c, n, pipe, in, out, first);
            Busy<P> busy(*this, pipe);
            int t = kLast;
            int last = -1;  // the last sample that scrubs
            for (int d = first;; d += velmor_dsp::kScrubPeriod) {
                const int stop = d < n ? d : n;
                for (; t < stop; ++t) busy.template Pass<kNoScrub>(c, t, in, out, 0);
                if (d >= n) break;
                last = d;
                if (d >= kLast && d + kLast < n) {
                    ScrubPasses<0>(busy, c, d, in, out);
                    t = d + kSections;
                } else {
                    // Some of d's passes fill or drain the pipe; those
                    // scrub there.
                    const int end = d + kSections < n ? d + kSections : n;
                    for (t = t > d ? t : d; t < end; ++t) busy.template Pass<kScrubAt>(c, t, in, out, d);
                }
            }
            busy.End(*this, pipe);
            DrainPasses<0>(c, n, pipe, in, out, last);
            counter = velmor_dsp::ScrubCounterAfter(counter, n);
        }

        // What a pass scrubs before its sections run: nothing (kNoScrub),
        // the section whose sample is the pass's scrubAt (kScrubAt), or the
        // one section named (0 .. kLast).
        static constexpr int kNoScrub = -1;
        static constexpr int kScrubAt = -2;
        static constexpr int kLast = kSections - 1;

        // Passes d + kScrubbed .. d + kLast of sample d's scrubs, all with
        // every section busy: each scrubs the section that takes sample d.
        template <int kScrubbed, class B, class Coef, class In, class Out>
        VELMOR_ALWAYS_INLINE static void ScrubPasses(B& busy, Coef& c, int d, In& in, Out& out) {
            busy.template Pass<kScrubbed>(c, d + kScrubbed, in, out, 0);
            if constexpr (kScrubbed < kLast) ScrubPasses<kScrubbed + 1>(busy, c, d, in, out);
        }

        // The passes with every section busy, on the run's own state and
        // pipe (P = W), or on a packed copy of them.
        template <class P, class = void>
        struct Busy {
            RunOf& run;
            W* pipe;
            Busy(RunOf& r, W* p) : run(r), pipe(p) {}
            void End(RunOf&, W*) {}
            template <int kScrub, class Coef, class In, class Out>
            VELMOR_ALWAYS_INLINE void Pass(Coef& c, int t, In& in, Out& out, int scrubAt) {
                run.template Pass<0, kLast, false, kScrub>(c, t, 0, pipe, in, out, scrubAt);
            }
        };
        // Sections 0 and 1 in the halves of one register, 2 and 3 in the
        // other; the pipe likewise, the second register's high half being
        // the last section's output.
        template <class P>
        struct Busy<P, std::enable_if_t<!std::is_same_v<P, W>>> {
            static_assert(kSections == 4, "two sections to a register");
            P z1[2], z2[2], y[2];
            Busy(RunOf& r, W* pipe) {
                for (int k = 0; k < 2; ++k) {
                    z1[k] = P::Of(r.z1[2 * k], r.z1[2 * k + 1]);
                    z2[k] = P::Of(r.z2[2 * k], r.z2[2 * k + 1]);
                    y[k] = P::Of(pipe[2 * k], pipe[2 * k + 1]);
                }
            }
            void End(RunOf& r, W* pipe) {
                for (int k = 0; k < 2; ++k) {
                    r.z1[2 * k] = z1[k].Low();
                    r.z1[2 * k + 1] = z1[k].High();
                    r.z2[2 * k] = z2[k].Low();
                    r.z2[2 * k + 1] = z2[k].High();
                    pipe[2 * k] = y[k].Low();
                    pipe[2 * k + 1] = y[k].High();
                }
            }
            template <int kSection>
            VELMOR_ALWAYS_INLINE void Scrub() {
                z1[kSection / 2] = velmor_dsp::ZeroNonFiniteHalf<kSection % 2>(z1[kSection / 2]);
                z2[kSection / 2] = velmor_dsp::ZeroNonFiniteHalf<kSection % 2>(z2[kSection / 2]);
            }
            // Scrub of section s, if s names one.
            template <int kSection = 0>
            VELMOR_ALWAYS_INLINE void ScrubSection(int s) {
                if (s == kSection) {
                    Scrub<kSection>();
                } else if constexpr (kSection < kLast) {
                    ScrubSection<kSection + 1>(s);
                }
            }
            template <int kScrub, class Coef, class In, class Out>
            VELMOR_ALWAYS_INLINE void Pass(Coef& c, int t, In& in, Out& out, int scrubAt) {
                if constexpr (kScrub >= 0) Scrub<kScrub>();
                if constexpr (kScrub == kScrubAt) ScrubSection(t - scrubAt);
                const velmor_dsp::SectionCoefficients<W>& held = c(t);
                const velmor_dsp::SectionCoefficients<P> cp{P::Of(held.a0, held.a0), P::Of(held.a1, held.a1),
                                                            P::Of(held.b1, held.b1), P::Of(held.b2, held.b2)};
                const P x0 = P::Of(in(t), y[0].Low());
                const P x1 = P::Of(y[0].High(), y[1].Low());
                y[0] = velmor_dsp::RunSection(cp, z1[0], z2[0], x0);
                y[1] = velmor_dsp::RunSection(cp, z1[1], z2[1], x1);
                out(t - kLast, y[1].High());
            }
        };

        // Passes kT .. kLast - 1, filling the pipe: pass t runs sections
        // 0 .. t. scrubAt: the run's first scrubbing sample.
        template <int kT, class Coef, class In, class Out>
        VELMOR_ALWAYS_INLINE void FillPasses(Coef& c, int n, W* pipe, In& in, Out& out, int scrubAt) {
            if constexpr (kT < kLast) {
                Pass<0, kT, false, kScrubAt>(c, kT, n, pipe, in, out, scrubAt);
                FillPasses<kT + 1>(c, n, pipe, in, out, scrubAt);
            }
        }

        // Passes n + kJ .. n + kLast - 1, draining the pipe: pass n + j runs
        // sections j + 1 .. kLast. scrubAt: the run's last scrubbing sample.
        template <int kJ, class Coef, class In, class Out>
        VELMOR_ALWAYS_INLINE void DrainPasses(Coef& c, int n, W* pipe, In& in, Out& out, int scrubAt) {
            if constexpr (kJ < kLast) {
                Pass<kJ + 1, kLast, false, kScrubAt>(c, n + kJ, n, pipe, in, out, scrubAt);
                DrainPasses<kJ + 1>(c, n, pipe, in, out, scrubAt);
            }
        }

        // Pass t of Steps over sections kLo .. kHi (kChecked: only those of
        // them whose sample t - s lies in the run), scrubbing as kScrub
        // says, then handing on the sample leaving the last section.
        template <int kLo, int kHi, bool kChecked, int kScrub, class Coef, class In, class Out>
        VELMOR_ALWAYS_INLINE void Pass(Coef& c, int t, int n, W* pipe, In& in, Out& out, int scrubAt) {
            if constexpr (kScrub >= 0) velmor_dsp::ScrubSections(z1 + kScrub, z2 + kScrub, 1);
            for (int s = kHi; s >= kLo; --s) {
                if (kChecked && (t - s < 0 || t - s >= n)) continue;
                if (kScrub == kScrubAt && t - s == scrubAt) velmor_dsp::ScrubSections(z1 + s, z2 + s, 1);
                pipe[s] = velmor_dsp::RunSection(c(t - s), z1[s], z2[s], s == 0 ? in(t) : pipe[s - 1]);
            }
            if (kHi == kLast && (!kChecked || (t >= kLast && t - kLast < n))) out(t - kLast, pipe[kLast]);
        }
    };

private:
    void Redesign(double freqHz, double q, double gainDb, double sampleRate);
    // Each lane takes the half of the design for its type.
    void SetDesign(const BiquadSplit& d);

    int mTypes[V::kCount];
    // The first call designs. A fresh cascade does so too, for the rate
    // moves away from its cached 0: the bank is only ever tuned with a rate.
    bool mFresh = true;
    double mCachedRate = 0.0;
    double mCachedFreq = 0.0;
    double mCachedQ = 0.0;
    double mCachedGainDb = 0.0;
    velmor_dsp::SectionCoefficients<V> mCoef{};
    Run mState{{}, {}, 1};
};
