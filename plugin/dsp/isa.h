// Which instruction set the hot loops run on. Each hot loop is compiled
// three times: for the x86-64 baseline (SSE2); with the VEX encoding of AVX,
// whose three-operand forms save the register copies that SSE2's
// two-operand forms need; and with AVX-512VL, whose EVEX encoding reaches 32
// vector registers instead of 16, so that the filters' state stays in
// registers where the AVX copy spills it. The builds never fuse a multiply
// with an add (-ffp-contract=off), so every copy performs the same IEEE
// operations in the same order and gives the same bits. A copy runs where
// the processor and the operating system support its instruction set.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define VELMOR_AVX_LOOPS 1
#if defined(__clang__)
#define VELMOR_TARGET_AVX __attribute__((target("avx")))
#define VELMOR_TARGET_AVX512 __attribute__((target("avx512f,avx512vl")))
#else
// GCC: the compiler's own vectors stay 128 bits wide; the loops' 256-bit
// lanes are written out where they are wanted.
#define VELMOR_TARGET_AVX __attribute__((target("avx,prefer-vector-width=128")))
#define VELMOR_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,prefer-vector-width=128")))
#endif
#else
#define VELMOR_AVX_LOOPS 0
#define VELMOR_TARGET_AVX
#define VELMOR_TARGET_AVX512
#endif

// Loop bodies are inlined into every copy, so that they take the copy's
// instruction set: VELMOR_ALWAYS_INLINE on functions, VELMOR_INLINE_LAMBDA
// after a lambda's parameter list.
#if defined(__GNUC__)
#define VELMOR_ALWAYS_INLINE inline __attribute__((always_inline))
#define VELMOR_INLINE_LAMBDA __attribute__((always_inline))
#else
#define VELMOR_ALWAYS_INLINE inline
#define VELMOR_INLINE_LAMBDA
#endif

namespace velmor_dsp {

// The copies of the hot loops, each needing the one before.
enum class Loops { kBaseline, kAvx, kAvx512 };

// The copy that runs: the best this processor offers, within the cap. Cheap
// enough to ask once per loop call.
Loops ActiveLoops();

// The best copy this processor offers, whatever the cap.
Loops BestLoops();

// Tests and benchmarks: run no copy above cap (kAvx512 lifts the cap).
// Process-wide.
void CapLoops(Loops cap);

// Runs body, a lambda marked VELMOR_INLINE_LAMBDA, compiled for the active
// instruction set. The copies differ only in what the compiler makes of the
// same source: the body never uses intrinsics beyond SSE2.
template <class Body>
void RunBaseline(Body& body) {
    body();
}
#if VELMOR_AVX_LOOPS
template <class Body>
VELMOR_TARGET_AVX void RunAvx(Body& body) {
    body();
}
template <class Body>
VELMOR_TARGET_AVX512 void RunAvx512(Body& body) {
    body();
}
#endif

// Runs wide() in the AVX or AVX-512 copy, or narrow() in the baseline one:
// two bodies for loops whose lane types differ between the copies.
template <class Wide, class Narrow>
void RunOnActiveIsa(Wide&& wide, Narrow&& narrow) {
#if VELMOR_AVX_LOOPS
    switch (ActiveLoops()) {
        case Loops::kAvx512:
            RunAvx512(wide);
            return;
        case Loops::kAvx:
            RunAvx(wide);
            return;
        case Loops::kBaseline:
            break;
    }
#else
    (void)wide;
#endif
    RunBaseline(narrow);
}

template <class Body>
void RunOnActiveIsa(Body&& body) {
    RunOnActiveIsa(body, body);
}

}  // namespace velmor_dsp
