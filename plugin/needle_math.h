// Where the meter's needle points for a level: the meter widget picks its
// needle frame with it, and the artwork generator prints the meter's scale
// with it, so every printed mark is where the needle will stand.
#pragma once

#include <cmath>

#include "editor/frame_for_value.h"

constexpr int kNeedleFrames = 240;

// A quadratic Bezier through 0, k and 1 at t; its slope at 0 is 2k, so k
// below 0.5 starts slow and above 0.5 starts fast.
inline double NeedleBezier(double t, double k) { return ((1 - t) * 0 + t * k) * (1 - t) + ((1 - t) * k + t) * t; }

// The needle's position 0..1 for a linear level (1.0 = the meter's 0 mark).
// The level is scaled by -6 dB and the bottom tenth of the range (about
// -14 dB and below) is the needle's rest; two Bezier steps then bend the
// movement so that the middle of the scale gets the room.
inline double NeedlePosition(double level) {
    const double rest = std::pow(10.0, -1.0);
    const double v = (level * 0.501187 - rest) / (1.0 - rest);
    return NeedleBezier(NeedleBezier(v, 0.99), 0.53);
}

// 1 (at rest) .. kNeedleFrames (full deflection, +6 dB).
inline int NeedleFrame(double level) { return FrameForValue(NeedlePosition(level), kNeedleFrames); }
