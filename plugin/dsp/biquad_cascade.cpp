#include "plugin/dsp/biquad_cascade.h"

#include <cmath>
#include <cstring>

#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/isa.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VELMOR_PAIRED_BIQUAD 1
#else
#define VELMOR_PAIRED_BIQUAD 0
#endif

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kScrubInterval = 10;  // counter value after a check: 12 calls apart

bool IsFinite(double v) { return std::isfinite(v); }
}  // namespace

double PadeTan(double w) {
    const double w2 = w * w;
    return 5.0 * (21.0 * w - 2.0 * w2 * w) / (105.0 - 45.0 * w2 + w2 * w2);
}

BiquadCoefficients DesignBiquad(double freqHz, double q, double sampleRate, int type) {
    BiquadCoefficients c;
    if (type != 0 && type != 1) return c;
    const double w = freqHz * kPi / sampleRate;
    const double k = PadeTan(w);
    const double k2 = k * k;
    const double norm = 1.0 / (1.0 + k / q + k2);
    c.b1 = 2.0 * (k2 - 1.0) * norm;
    c.b2 = (1.0 - k / q + k2) * norm;
    if (type == 0) {
        c.a0 = k2 * norm;
        c.a1 = 2.0 * c.a0;
        c.a2 = c.a0;
    } else {
        c.a0 = norm;
        c.a1 = -2.0 * norm;
        c.a2 = norm;
    }
    return c;
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

void BiquadCascade::Scrub() {
    mCheckCounter = kScrubInterval;
    for (int s = 0; s < kMaxSections; ++s) {
        if (!IsFinite(mZ1[s])) mZ1[s] = 0.0;
        if (!IsFinite(mZ2[s])) mZ2[s] = 0.0;
    }
    if (!IsFinite(mLastOut)) mLastOut = 0.0;
}

namespace {

// kSections sections over a block with the state in locals; the scrub runs
// on the same calls as it would one sample at a time.
template <int kSections>
double RunBlock(const BiquadCoefficients& c, double* z1, double* z2, int& counter, const double* x, double* y, int n) {
    double s1[kSections], s2[kSections];
    for (int s = 0; s < kSections; ++s) {
        s1[s] = z1[s];
        s2[s] = z2[s];
    }
    double out = 0.0;
    for (int i = 0; i < n; ++i) {
        if (counter-- < 0) {
            counter = kScrubInterval;
            for (int s = 0; s < kSections; ++s) {
                if (!IsFinite(s1[s])) s1[s] = 0.0;
                if (!IsFinite(s2[s])) s2[s] = 0.0;
            }
        }
        double v = x[i];
        for (int s = 0; s < kSections; ++s) {
            const double in = v;
            v = c.a0 * in + s1[s];
            s1[s] = c.a1 * in + s2[s] - c.b1 * v;
            s2[s] = c.a2 * in - c.b2 * v;
        }
        y[i] = v;
        out = v;
    }
    for (int s = 0; s < kSections; ++s) {
        z1[s] = s1[s];
        z2[s] = s2[s];
    }
    return out;
}

}  // namespace

void BiquadCascade::ProcessBlockFlushed(const double* x, double* y, int n, double freqHz, double q, double gainDb,
                                        double sampleRate, int type, int extraStages) {
    if (n <= 0) return;
    if (extraStages < 0 || extraStages >= kMaxSections) {
        for (int i = 0; i < n; ++i) y[i] = ProcessFlushed(x[i], freqHz, q, gainDb, sampleRate, type, extraStages);
        return;
    }
    // The first call of the run decides about a redesign; later ones see
    // the same settings. The sections the run does not use keep their state,
    // and so does a scrub of them, as one call at a time would leave them
    // (only after the final check below).
    CheckDesign(freqHz, q, gainDb, sampleRate, type);
    const int before = mCheckCounter;
    switch (extraStages) {
        case 0:
            mLastOut = RunBlock<1>(mCoef, mZ1, mZ2, mCheckCounter, x, y, n);
            break;
        case 1:
            mLastOut = RunBlock<2>(mCoef, mZ1, mZ2, mCheckCounter, x, y, n);
            break;
        case 2:
            mLastOut = RunBlock<3>(mCoef, mZ1, mZ2, mCheckCounter, x, y, n);
            break;
        default:
            mLastOut = RunBlock<4>(mCoef, mZ1, mZ2, mCheckCounter, x, y, n);
            break;
    }
    // A check falls in the run when the counter was negative at its start or
    // ran out within it; it scrubs the unused sections too. Those never
    // change, so one scrub of them now is the same.
    if (before < 0 || n - before > 1) {
        for (int s = extraStages + 1; s < kMaxSections; ++s) {
            if (!IsFinite(mZ1[s])) mZ1[s] = 0.0;
            if (!IsFinite(mZ2[s])) mZ2[s] = 0.0;
        }
    }
}

#if VELMOR_PAIRED_BIQUAD
namespace {

// Non-finite lanes of v become +0.0, finite ones (subnormals included) keep
// their bits: v - v is 0 for a finite value and NaN otherwise.
inline __m128d ZeroNonFinite(__m128d v) { return _mm_and_pd(v, _mm_cmpord_pd(_mm_sub_pd(v, v), _mm_setzero_pd())); }

// Four sections, left in lane 0 and right in lane 1. kA2IsA0: a2 has the
// bits of a0 (true of every low- and high-pass design), so a2 x is a0 x and
// is not multiplied twice.
template <bool kA2IsA0>
VELMOR_ALWAYS_INLINE void RunPair(const BiquadCoefficients& c, double* z1l, double* z2l, double* z1r, double* z2r,
                                  int& counter, const double* xl, const double* xr, double* yl, double* yr, int n) {
    const __m128d a0 = _mm_set1_pd(c.a0), a1 = _mm_set1_pd(c.a1), a2 = _mm_set1_pd(c.a2);
    const __m128d b1 = _mm_set1_pd(c.b1), b2 = _mm_set1_pd(c.b2);
    __m128d s1[4], s2[4];
    for (int s = 0; s < 4; ++s) {
        s1[s] = _mm_set_pd(z1r[s], z1l[s]);
        s2[s] = _mm_set_pd(z2r[s], z2l[s]);
    }
    for (int i = 0; i < n; ++i) {
        if (counter-- < 0) {
            counter = kScrubInterval;
            for (int s = 0; s < 4; ++s) {
                s1[s] = ZeroNonFinite(s1[s]);
                s2[s] = ZeroNonFinite(s2[s]);
            }
        }
        __m128d v = _mm_set_pd(xr[i], xl[i]);
        for (int s = 0; s < 4; ++s) {
            const __m128d in = v;
            const __m128d a0x = _mm_mul_pd(a0, in);
            v = _mm_add_pd(a0x, s1[s]);
            s1[s] = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(a1, in), s2[s]), _mm_mul_pd(b1, v));
            s2[s] = _mm_sub_pd(kA2IsA0 ? a0x : _mm_mul_pd(a2, in), _mm_mul_pd(b2, v));
        }
        _mm_store_sd(&yl[i], v);
        _mm_storeh_pd(&yr[i], v);
    }
    for (int s = 0; s < 4; ++s) {
        _mm_store_sd(&z1l[s], s1[s]);
        _mm_storeh_pd(&z1r[s], s1[s]);
        _mm_store_sd(&z2l[s], s2[s]);
        _mm_storeh_pd(&z2r[s], s2[s]);
    }
}

}  // namespace
#endif

void BiquadCascade::ProcessPairBlockFlushed(BiquadCascade& left, BiquadCascade& right, const double* xl,
                                            const double* xr, double* yl, double* yr, int n, double freqHz, double q,
                                            double gainDb, double sampleRate, int type, int extraStages) {
#if VELMOR_PAIRED_BIQUAD
    if (n > 0 && extraStages == kMaxSections - 1 && left.mCheckCounter == right.mCheckCounter) {
        left.CheckDesign(freqHz, q, gainDb, sampleRate, type);
        right.CheckDesign(freqHz, q, gainDb, sampleRate, type);
        if (std::memcmp(&left.mCoef, &right.mCoef, sizeof(BiquadCoefficients)) == 0) {
            int counter = left.mCheckCounter;
            const BiquadCoefficients& c = left.mCoef;
            if (velmor_dsp::SameBits(c.a0, c.a2)) {
                velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
                    RunPair<true>(c, left.mZ1, left.mZ2, right.mZ1, right.mZ2, counter, xl, xr, yl, yr, n);
                });
            } else {
                velmor_dsp::RunOnActiveIsa([&]() VELMOR_INLINE_LAMBDA {
                    RunPair<false>(c, left.mZ1, left.mZ2, right.mZ1, right.mZ2, counter, xl, xr, yl, yr, n);
                });
            }
            left.mCheckCounter = counter;
            right.mCheckCounter = counter;
            left.mLastOut = yl[n - 1];
            right.mLastOut = yr[n - 1];
            return;
        }
    }
#endif
    left.ProcessBlockFlushed(xl, yl, n, freqHz, q, gainDb, sampleRate, type, extraStages);
    right.ProcessBlockFlushed(xr, yr, n, freqHz, q, gainDb, sampleRate, type, extraStages);
}
