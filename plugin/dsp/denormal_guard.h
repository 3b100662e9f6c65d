// Scoped flush-to-zero + denormals-are-zero. Recursive filters that decay
// towards silence otherwise spend long stretches in subnormal arithmetic,
// which costs on x86 many times a normal operation. The guard saves the
// caller's MXCSR, sets FTZ and DAZ (mask 0x8040) and puts the saved word
// back on every exit path, so the host's own floating-point mode is never
// changed behind its back. Elsewhere it does nothing.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <xmmintrin.h>
#define VELMOR_HAS_MXCSR 1
#else
#define VELMOR_HAS_MXCSR 0
#endif

class DenormalGuard {
public:
    static constexpr unsigned kFlushMask = 0x8040;  // FTZ (bit 15) | DAZ (bit 6)

#if VELMOR_HAS_MXCSR
    DenormalGuard() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | kFlushMask); }
    ~DenormalGuard() { _mm_setcsr(mSaved); }
#else
    DenormalGuard() = default;
    ~DenormalGuard() = default;
#endif
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
#if VELMOR_HAS_MXCSR
    unsigned mSaved;
#endif
};
