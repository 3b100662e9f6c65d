// The two forms of a version number met at the host boundary: the packed
// form the core keeps (major << 16 | minor << 8 | fix) and the decimal form
// VST 2.4 exchanges (major * 10000 + minor * 100 + fix).
#pragma once

#include <cstdint>

// 0x10100 -> 10100.
constexpr std::int32_t DecimalFromPackedVersion(std::int32_t packed) {
    const auto p = static_cast<std::uint32_t>(packed);
    return static_cast<std::int32_t>((p >> 16) * 10000u + ((p >> 8) & 0xffu) * 100u + (p & 0xffu));
}

// 50102 -> 0x050102. A host may answer any number: a negative one is taken
// as unknown (0), and a major part too large for 16 bits wraps instead of
// overflowing a signed shift.
constexpr std::int32_t PackedFromDecimalVersion(std::int64_t decimal) {
    if (decimal < 0) return 0;
    const auto major = static_cast<std::uint32_t>(decimal / 10000);
    const auto minor = static_cast<std::uint32_t>((decimal % 10000) / 100);
    const auto fix = static_cast<std::uint32_t>(decimal % 100);
    return static_cast<std::int32_t>((major << 16) | (minor << 8) | fix);
}
