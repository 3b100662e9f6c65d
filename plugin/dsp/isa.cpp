#include "plugin/dsp/isa.h"

#include <atomic>

namespace velmor_dsp {
namespace {

Loops CpuLoops() {
#if VELMOR_AVX_LOOPS
    // The CPUID bits, and that the operating system saves the YMM state
    // (and, for AVX-512, the mask and upper ZMM state).
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0) return Loops::kAvx512;
    if (__builtin_cpu_supports("avx") != 0) return Loops::kAvx;
#endif
    return Loops::kBaseline;
}

std::atomic<Loops> gCap{Loops::kAvx512};

}  // namespace

Loops BestLoops() {
    static const Loops kBest = CpuLoops();
    return kBest;
}

Loops ActiveLoops() {
    const Loops cap = gCap.load(std::memory_order_relaxed);
    const Loops best = BestLoops();
    return cap < best ? cap : best;
}

void CapLoops(Loops cap) { gCap.store(cap, std::memory_order_relaxed); }

}  // namespace velmor_dsp
