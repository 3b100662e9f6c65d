// Bit-level tests on doubles: the "zero or subnormal" flush test that keeps
// denormal numbers out of the recursions, and exact equality for caches.
#pragma once

#include <cstdint>
#include <cstring>

namespace velmor_dsp {

// True when the exponent bits of x are all zero (+-0 or a subnormal).
inline bool IsZeroOrSubnormal(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7FF0000000000000ull) == 0;
}

// Bit-for-bit equality of two doubles: the test that lets a block reuse a
// value derived from an input. The same bits give the same derived value, so
// the reuse cannot change a result (0.0 and -0.0 count as different).
inline bool SameBits(double a, double b) {
    std::uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

}  // namespace velmor_dsp
