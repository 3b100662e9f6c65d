#include "plugin/dsp/isa.h"

#include <atomic>

namespace velmor_dsp {
namespace {

bool CpuHasAvx() {
#if VELMOR_AVX_LOOPS
    // Checks the CPUID bit and that the operating system saves the YMM state.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
#else
    return false;
#endif
}

std::atomic<bool> gForceBaseline{false};

}  // namespace

bool UseAvxLoops() {
    static const bool kHasAvx = CpuHasAvx();
    return kHasAvx && !gForceBaseline.load(std::memory_order_relaxed);
}

void ForceBaselineLoops(bool force) { gForceBaseline.store(force, std::memory_order_relaxed); }

}  // namespace velmor_dsp
