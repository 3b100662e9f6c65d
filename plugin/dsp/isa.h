// Which instruction set the hot loops run on. Each hot loop is compiled
// twice: for the x86-64 baseline (SSE2) and with the VEX encoding of AVX,
// whose three-operand forms save the register copies that SSE2's
// two-operand forms need. AVX has no fused multiply-add, so both copies
// perform the same IEEE operations in the same order and give the same bits;
// the AVX copy runs where the processor and the operating system support
// AVX.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define VELMOR_AVX_LOOPS 1
#if defined(__clang__)
#define VELMOR_TARGET_AVX __attribute__((target("avx")))
#else
// GCC: 128-bit vectors only. GCC does not realign the 64-bit Windows stack
// for 32-byte spills, so code with 256-bit registers could fault there.
#define VELMOR_TARGET_AVX __attribute__((target("avx,prefer-vector-width=128")))
#endif
#else
#define VELMOR_AVX_LOOPS 0
#define VELMOR_TARGET_AVX
#endif

// Loop bodies are inlined into both copies, so that they take the copy's
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

// True when the AVX copies run. Cheap enough to ask once per loop call.
bool UseAvxLoops();

// Tests and benchmarks: run the baseline copies even where AVX is there
// (true), or go back to what the processor offers (false). Process-wide.
void ForceBaselineLoops(bool force);

// Runs body, a lambda marked VELMOR_INLINE_LAMBDA, compiled for the active
// instruction set. The two copies differ only in what the compiler makes of
// the same source: the body never uses intrinsics beyond SSE2.
template <class Body>
void RunBaseline(Body& body) {
    body();
}
#if VELMOR_AVX_LOOPS
template <class Body>
VELMOR_TARGET_AVX void RunAvx(Body& body) {
    body();
}
#endif

template <class Body>
void RunOnActiveIsa(Body&& body) {
#if VELMOR_AVX_LOOPS
    if (UseAvxLoops()) {
        RunAvx(body);
        return;
    }
#endif
    RunBaseline(body);
}

}  // namespace velmor_dsp
