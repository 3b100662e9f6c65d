// Lane types for the blocks' per-sample steps. Each step is written once,
// templated on its lane type: double (one value), Lanes2 (two values in an
// SSE2 register: a stereo pair, or two bands) or Lanes4 (four values: both
// channels of a band split's low and high pass). Every operation acts on
// each lane as the scalar operation does on a double, with the same IEEE
// rounding, so a value computed in any lane has the bits of the scalar step.
// Nothing here fuses a multiply with an add.
//
// Lanes4 is one AVX register in the AVX copies of the loops and two SSE2
// registers in the baseline copies; the Windows build keeps it in two SSE2
// registers in both (see isa.h for why it uses no 256-bit register).
#pragma once

#include <cmath>

#include "plugin/dsp/float_bits.h"
#include "plugin/dsp/isa.h"

// The plug-in is built for x86-64, whose baseline has SSE2.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#else
#error "the lane types need SSE2 (x86-64)"
#endif

namespace velmor_dsp {

// ---- double -----------------------------------------------------------------

VELMOR_ALWAYS_INLINE double Broadcast(double v, double) { return v; }
// a > b ? a : b: the larger, and b when either is NaN (a NaN a never wins).
VELMOR_ALWAYS_INLINE double Max(double a, double b) { return a > b ? a : b; }
VELMOR_ALWAYS_INLINE double Abs(double v) { return std::fabs(v); }
// t where a > b, otherwise f.
VELMOR_ALWAYS_INLINE double SelectGreater(double a, double b, double t, double f) { return a > b ? t : f; }
// 0 where v is NaN or infinite; finite values (subnormals too) keep their
// bits.
VELMOR_ALWAYS_INLINE double ZeroNonFinite(double v) { return std::isfinite(v) ? v : 0.0; }
// 0 where x is NaN or infinite, v elsewhere.
VELMOR_ALWAYS_INLINE double ZeroWhereNonFinite(double x, double v) { return std::isfinite(x) ? v : 0.0; }
// 0 where v is zero or subnormal (its exponent bits all zero), else v.
VELMOR_ALWAYS_INLINE double FlushTiny(double v) { return IsZeroOrSubnormal(v) ? 0.0 : v; }
VELMOR_ALWAYS_INLINE double Lane(double v, int) { return v; }

// ---- Lanes2 -----------------------------------------------------------------

struct Lanes2 {
    __m128d v;
    static constexpr int kCount = 2;
    VELMOR_ALWAYS_INLINE static Lanes2 Of(double lane0, double lane1) { return {_mm_set_pd(lane1, lane0)}; }
    VELMOR_ALWAYS_INLINE static Lanes2 Load(const double* p) { return {_mm_loadu_pd(p)}; }
    VELMOR_ALWAYS_INLINE void Store(double* p) const { _mm_storeu_pd(p, v); }
};

VELMOR_ALWAYS_INLINE Lanes2 operator+(Lanes2 a, Lanes2 b) { return {_mm_add_pd(a.v, b.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 operator-(Lanes2 a, Lanes2 b) { return {_mm_sub_pd(a.v, b.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 operator*(Lanes2 a, Lanes2 b) { return {_mm_mul_pd(a.v, b.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 operator/(Lanes2 a, Lanes2 b) { return {_mm_div_pd(a.v, b.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 Broadcast(double v, Lanes2) { return {_mm_set1_pd(v)}; }
// maxpd answers its first operand where it is greater, else the second.
VELMOR_ALWAYS_INLINE Lanes2 Max(Lanes2 a, Lanes2 b) { return {_mm_max_pd(a.v, b.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 Abs(Lanes2 a) { return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)}; }
VELMOR_ALWAYS_INLINE Lanes2 SelectGreater(Lanes2 a, Lanes2 b, Lanes2 t, Lanes2 f) {
    const __m128d m = _mm_cmpgt_pd(a.v, b.v);
    return {_mm_or_pd(_mm_and_pd(m, t.v), _mm_andnot_pd(m, f.v))};
}
// x - x is 0 for a finite x and NaN otherwise.
VELMOR_ALWAYS_INLINE __m128d FiniteMask(__m128d x) { return _mm_cmpord_pd(_mm_sub_pd(x, x), _mm_setzero_pd()); }
VELMOR_ALWAYS_INLINE Lanes2 ZeroNonFinite(Lanes2 a) { return {_mm_and_pd(a.v, FiniteMask(a.v))}; }
VELMOR_ALWAYS_INLINE Lanes2 ZeroWhereNonFinite(Lanes2 x, Lanes2 v) { return {_mm_and_pd(v.v, FiniteMask(x.v))}; }
// Zero or subnormal is exactly a magnitude below the smallest normal double.
VELMOR_ALWAYS_INLINE Lanes2 FlushTiny(Lanes2 a) {
    const __m128d tiny = _mm_cmplt_pd(Abs(a).v, _mm_set1_pd(2.2250738585072014e-308));
    return {_mm_andnot_pd(tiny, a.v)};
}
VELMOR_ALWAYS_INLINE double Lane(Lanes2 a, int lane) {
    return lane == 0 ? _mm_cvtsd_f64(a.v) : _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v));
}

// ---- Lanes4 -----------------------------------------------------------------

#if defined(_WIN32) && defined(__GNUC__) && !defined(__clang__)
// Two SSE2 registers. GCC does not realign the 64-bit Windows stack for the
// 32-byte spills of a 256-bit register (see isa.h), so the Windows build
// keeps to 128-bit registers in its AVX copies too.
struct Lanes4 {
    Lanes2 lo;  // lanes 0, 1
    Lanes2 hi;  // lanes 2, 3
    static constexpr int kCount = 4;
    VELMOR_ALWAYS_INLINE static Lanes4 Of(Lanes2 lo, Lanes2 hi) { return {lo, hi}; }
    VELMOR_ALWAYS_INLINE Lanes2 Low() const { return lo; }
    VELMOR_ALWAYS_INLINE Lanes2 High() const { return hi; }
};

VELMOR_ALWAYS_INLINE Lanes4 operator+(Lanes4 a, Lanes4 b) { return {a.lo + b.lo, a.hi + b.hi}; }
VELMOR_ALWAYS_INLINE Lanes4 operator-(Lanes4 a, Lanes4 b) { return {a.lo - b.lo, a.hi - b.hi}; }
VELMOR_ALWAYS_INLINE Lanes4 operator*(Lanes4 a, Lanes4 b) { return {a.lo * b.lo, a.hi * b.hi}; }
VELMOR_ALWAYS_INLINE Lanes4 ZeroNonFinite(Lanes4 a) { return {ZeroNonFinite(a.lo), ZeroNonFinite(a.hi)}; }
#else
// A vector of the compiler's own: one AVX register in the AVX copies of the
// loops, two SSE2 registers in the baseline copies.
using Double4 = double __attribute__((vector_size(32)));
struct Lanes4 {
    Double4 v;
    static constexpr int kCount = 4;
    VELMOR_ALWAYS_INLINE static Lanes4 Of(Lanes2 lo, Lanes2 hi) {
        return {Double4{lo.v[0], lo.v[1], hi.v[0], hi.v[1]}};
    }
    VELMOR_ALWAYS_INLINE Lanes2 Low() const { return {__m128d{v[0], v[1]}}; }
    VELMOR_ALWAYS_INLINE Lanes2 High() const { return {__m128d{v[2], v[3]}}; }
};

VELMOR_ALWAYS_INLINE Lanes4 operator+(Lanes4 a, Lanes4 b) { return {a.v + b.v}; }
VELMOR_ALWAYS_INLINE Lanes4 operator-(Lanes4 a, Lanes4 b) { return {a.v - b.v}; }
VELMOR_ALWAYS_INLINE Lanes4 operator*(Lanes4 a, Lanes4 b) { return {a.v * b.v}; }
VELMOR_ALWAYS_INLINE Lanes4 ZeroNonFinite(Lanes4 a) {
    const Double4 d = a.v - a.v;
    using Mask = decltype(d == d);
    const Mask finite = d == d;  // all ones where x - x is 0, i.e. x finite
    return {(Double4)((Mask)a.v & finite)};
}
#endif

}  // namespace velmor_dsp
