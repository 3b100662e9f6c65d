// Per-channel arithmetic of the blend modes, exact to the bit. All divisions
// are C++ integer divisions, which truncate toward zero for negative dividends
// too (that is the rounding the artwork was made for). The blitter applies
// these to blue, green, red and alpha alike unless a rule says otherwise.
#pragma once

#include <cmath>
#include <cstdint>

namespace raster {

// Weights map to fixed point W = trunc(weight * 256); 1.0 is 256.
constexpr int kFullWeight = 256;
// Weights beyond +-256.0 are clamped so that no product below can overflow
// (the editor only uses 0..1; other weights merely need defined results).
constexpr int kMaxFixedWeight = 256 * kFullWeight;

inline int WeightToFixed(float weight) {
    const double scaled = static_cast<double>(weight) * 256.0;
    if (std::isnan(scaled)) return 0;
    if (scaled >= kMaxFixedWeight) return kMaxFixedWeight;
    if (scaled <= -kMaxFixedWeight) return -kMaxFixedWeight;
    return static_cast<int>(scaled);  // truncates toward zero
}

inline std::uint8_t Clamp255(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Copy mixed by W: d + (s - d) * W / 256, written as s + (d - s)(256 - W) / 256
// so that the truncation lands where the artwork expects it.
inline std::uint8_t MixChannel(int d, int s, int w) { return Clamp255(s + (d - s) * (kFullWeight - w) / 256); }

inline std::uint8_t AddChannel(int d, int s, int w) { return Clamp255(d + s * w / 256); }

// Colour dodge: brightens d by the weighted source. t >= 255 (only a fully
// weighted white source) would divide by 1 or 0, so it saturates instead.
inline std::uint8_t DodgeChannel(int d, int s, int w) {
    const int t = s * w / 256;
    return t < 255 ? Clamp255(d * 256 / (256 - t)) : Clamp255(d * 256);
}

// Weight of one source pixel when its alpha takes part: W(a + 1) / 256.
inline int SourceAlphaWeight(int w, int alpha) { return w * (alpha + 1) / 256; }

// Source-alpha copy at full weight, on one colour channel: the destination
// keeps (255 - a)/256 of its distance from the source.
inline std::uint8_t OverChannel(int d, int s, int alpha) {
    return static_cast<std::uint8_t>(s + (d - s) * (255 - alpha) / 256);
}

}  // namespace raster
