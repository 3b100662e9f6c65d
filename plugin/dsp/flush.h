// The "zero or subnormal" test the blocks use to keep denormal numbers out of
// their recursions: true when the exponent bits of x are all zero.
#pragma once

#include <cstdint>
#include <cstring>

namespace velmor_dsp {

inline bool IsZeroOrSubnormal(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7FF0000000000000ull) == 0;
}

}  // namespace velmor_dsp
