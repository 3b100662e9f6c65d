// Lane types for the blocks' per-sample steps. Each step is written once,
// templated on its lane type: double (one value), Lanes2 (two values in an
// SSE2 register: a stereo pair, or two bands) or Lanes4 (four values: both
// channels of a band split's low and high pass). Every operation acts on
// each lane as the scalar operation does on a double, with the same IEEE
// rounding, so a value computed in any lane has the bits of the scalar step.
// Nothing here fuses a multiply with an add.
//
// Lanes4 holds two SSE2 registers, in the baseline copies of the loops and
// in the wider copies (VEX- or EVEX-encoded, 128 bits wide) alike.
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
// a < b ? a : b: the smaller, and b when either is NaN.
VELMOR_ALWAYS_INLINE double Min(double a, double b) { return a < b ? a : b; }
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
// minpd likewise answers its first operand where it is smaller.
VELMOR_ALWAYS_INLINE Lanes2 Min(Lanes2 a, Lanes2 b) { return {_mm_min_pd(a.v, b.v)}; }
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

// ---- lanes in separate arrays ---------------------------------------------

// The lanes of V: 1 for double.
template <class V>
inline constexpr int kLanes = V::kCount;
template <>
inline constexpr int kLanes<double> = 1;

// One value per lane, lane l kept at p[l][i]: blocks side by side whose
// arrays stay their own (two limiters' rings, say) step in one register.
VELMOR_ALWAYS_INLINE double LoadLanes(const double* const* p, int i, double) { return p[0][i]; }
VELMOR_ALWAYS_INLINE void StoreLanes(double* const* p, int i, double v) { p[0][i] = v; }
VELMOR_ALWAYS_INLINE Lanes2 LoadLanes(const double* const* p, int i, Lanes2) {
    return {_mm_loadh_pd(_mm_load_sd(p[0] + i), p[1] + i)};
}
VELMOR_ALWAYS_INLINE void StoreLanes(double* const* p, int i, Lanes2 v) {
    _mm_storel_pd(p[0] + i, v.v);
    _mm_storeh_pd(p[1] + i, v.v);
}
// The value whose lane l is f(l).
template <class F>
VELMOR_ALWAYS_INLINE double LanesFrom(double, F&& f) {
    return f(0);
}
template <class F>
VELMOR_ALWAYS_INLINE Lanes2 LanesFrom(Lanes2, F&& f) {
    return Lanes2::Of(f(0), f(1));
}

// ---- consecutive frames of one signal --------------------------------------

// Frames i, i + 1, ... of one array in the lanes of V, for loops over a
// signal that have no recursion: ForFrames runs step(i, V{}) two frames at
// a time, and a last odd frame as a double.
VELMOR_ALWAYS_INLINE double LoadFrames(const double* p, double) { return *p; }
VELMOR_ALWAYS_INLINE Lanes2 LoadFrames(const double* p, Lanes2) { return Lanes2::Load(p); }
VELMOR_ALWAYS_INLINE void StoreFrames(double v, double* p) { *p = v; }
VELMOR_ALWAYS_INLINE void StoreFrames(Lanes2 v, double* p) { v.Store(p); }
template <class Step>
VELMOR_ALWAYS_INLINE void ForFrames(int n, Step&& step) {
    int i = 0;
    for (; i + 2 <= n; i += 2) step(i, Lanes2{});
    if (i < n) step(i, 0.0);
}
// p[0..n) = v, two frames a store (where the compiler would store one).
VELMOR_ALWAYS_INLINE void FillFrames(double* p, int n, double v) {
    ForFrames(n, [&](int i, auto w) VELMOR_INLINE_LAMBDA { StoreFrames(Broadcast(v, w), p + i); });
}

// ---- Lanes4 -----------------------------------------------------------------

// Two SSE2 registers: two instructions per operation, independent of each
// other. One AVX register would halve the instructions of the AVX copies,
// but measured on the whole chain it gains little (a nanosecond per frame),
// it would cost the baseline copies far more than that (32-byte vectors of
// the compiler's own are split through memory there), and the Windows build
// cannot have it (see isa.h).
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
VELMOR_ALWAYS_INLINE Lanes4 operator/(Lanes4 a, Lanes4 b) { return {a.lo / b.lo, a.hi / b.hi}; }
VELMOR_ALWAYS_INLINE Lanes4 Broadcast(double v, Lanes4) { return {Broadcast(v, Lanes2{}), Broadcast(v, Lanes2{})}; }
VELMOR_ALWAYS_INLINE Lanes4 ZeroNonFinite(Lanes4 a) { return {ZeroNonFinite(a.lo), ZeroNonFinite(a.hi)}; }
// ZeroNonFinite of lanes 0, 1 (kHalf 0) or 2, 3 (kHalf 1); the others keep
// their bits.
template <int kHalf>
VELMOR_ALWAYS_INLINE Lanes4 ZeroNonFiniteHalf(Lanes4 a) {
    return kHalf == 0 ? Lanes4{ZeroNonFinite(a.lo), a.hi} : Lanes4{a.lo, ZeroNonFinite(a.hi)};
}
VELMOR_ALWAYS_INLINE Lanes4 Load4(const double* p, Lanes4) { return {Lanes2::Load(p), Lanes2::Load(p + 2)}; }
VELMOR_ALWAYS_INLINE void Store4(Lanes4 a, double* p) {
    a.lo.Store(p);
    a.hi.Store(p + 2);
}

template <class F>
VELMOR_ALWAYS_INLINE Lanes4 LanesFrom(Lanes4, F&& f) {
    return {Lanes2::Of(f(0), f(1)), Lanes2::Of(f(2), f(3))};
}

VELMOR_ALWAYS_INLINE void LaneCopy(Lanes2& to, Lanes2 from) { to = from; }
VELMOR_ALWAYS_INLINE void LaneCopy(Lanes4& to, Lanes4 from) { to = from; }

// ---- Lanes4Wide -------------------------------------------------------------

// Lanes4 in one 256-bit register, for the AVX and AVX-512 copies of the
// loops only (in the baseline copies the compiler would split each operation
// in two through memory). Written with the compiler's vector types rather than intrinsics,
// so that the loop bodies templated on it stay plain inline code that takes
// the instruction set of the copy they are inlined into.
#if VELMOR_AVX_LOOPS
typedef double Double4 __attribute__((vector_size(32)));
typedef long long Mask4 __attribute__((vector_size(32)));

struct Lanes4Wide {
    Double4 v;
    static constexpr int kCount = 4;
    VELMOR_ALWAYS_INLINE static Lanes4Wide Of(Lanes2 lo, Lanes2 hi) {
        return {__builtin_shufflevector(lo.v, hi.v, 0, 1, 2, 3)};
    }
    VELMOR_ALWAYS_INLINE Lanes2 Low() const { return {__builtin_shufflevector(v, v, 0, 1)}; }
    VELMOR_ALWAYS_INLINE Lanes2 High() const { return {__builtin_shufflevector(v, v, 2, 3)}; }
};

VELMOR_ALWAYS_INLINE Lanes4Wide operator+(Lanes4Wide a, Lanes4Wide b) { return {a.v + b.v}; }
VELMOR_ALWAYS_INLINE Lanes4Wide operator-(Lanes4Wide a, Lanes4Wide b) { return {a.v - b.v}; }
VELMOR_ALWAYS_INLINE Lanes4Wide operator*(Lanes4Wide a, Lanes4Wide b) { return {a.v * b.v}; }
VELMOR_ALWAYS_INLINE Lanes4Wide operator/(Lanes4Wide a, Lanes4Wide b) { return {a.v / b.v}; }
VELMOR_ALWAYS_INLINE Lanes4Wide Broadcast(double v, Lanes4Wide) { return {Double4{v, v, v, v}}; }
VELMOR_ALWAYS_INLINE Lanes4Wide Load4(const double* p, Lanes4Wide) {
    Double4 v;
    __builtin_memcpy(&v, p, sizeof v);
    return {v};
}
VELMOR_ALWAYS_INLINE void Store4(Lanes4Wide a, double* p) { __builtin_memcpy(p, &a.v, sizeof a.v); }
// x - x is 0 for a finite x and NaN otherwise; NaN == NaN is false.
VELMOR_ALWAYS_INLINE Lanes4Wide ZeroNonFinite(Lanes4Wide a) {
    const Double4 d = a.v - a.v;
    const Mask4 finite = d == d;
    return {reinterpret_cast<Double4>(reinterpret_cast<Mask4>(a.v) & finite)};
}
template <class F>
VELMOR_ALWAYS_INLINE Lanes4Wide LanesFrom(Lanes4Wide, F&& f) {
    return {Double4{f(0), f(1), f(2), f(3)}};
}
template <int kHalf>
VELMOR_ALWAYS_INLINE Lanes4Wide ZeroNonFiniteHalf(Lanes4Wide a) {
    const Double4 d = a.v - a.v;
    const Mask4 keep = kHalf == 0 ? Mask4{0, 0, -1, -1} : Mask4{-1, -1, 0, 0};
    const Mask4 finite = (d == d) | keep;
    return {reinterpret_cast<Double4>(reinterpret_cast<Mask4>(a.v) & finite)};
}
VELMOR_ALWAYS_INLINE void LaneCopy(Lanes4Wide& to, Lanes4 from) { to = Lanes4Wide::Of(from.lo, from.hi); }
VELMOR_ALWAYS_INLINE void LaneCopy(Lanes4& to, Lanes4Wide from) { to = Lanes4::Of(from.Low(), from.High()); }
#endif

// Runs body(LaneType<W>{}) on the active instruction set, W being the
// four-lane type of that copy: Lanes4Wide in the AVX and AVX-512 copies,
// Lanes4 in the baseline one. All give the same bits. body is a generic
// lambda marked VELMOR_INLINE_LAMBDA.
template <class T>
struct LaneType {
    using type = T;
};
template <class Body>
void RunOnActiveIsaWide(Body&& body) {
#if VELMOR_AVX_LOOPS
    auto wide = [&]() VELMOR_INLINE_LAMBDA { body(LaneType<Lanes4Wide>{}); };
#else
    auto wide = [] {};
#endif
    auto narrow = [&]() VELMOR_INLINE_LAMBDA { body(LaneType<Lanes4>{}); };
    RunOnActiveIsa(wide, narrow);
}

}  // namespace velmor_dsp
