// Time constant to one-pole coefficient, shared by the smoother and the
// envelope follower so both turn milliseconds into the same number.
#pragma once

#include <cmath>

namespace velmor_dsp {

// Below this many milliseconds a time means "respond at once". Settings that
// move by less than this count as unchanged, so coefficients are not remade.
constexpr double kTimeEpsilon = 1e-10;

// exp(-1 / (sampleRate * ms * 0.001)); 0 for an instant response. A sample
// rate of 0 divides to -infinity and so also gives 0 (an instant response).
inline double OnePoleCoef(int sampleRate, double ms) {
    if (ms < kTimeEpsilon) return 0.0;
    return std::exp(-1.0 / (static_cast<double>(sampleRate) * ms * 0.001));
}

// True when two cached settings are far enough apart to remake coefficients.
inline bool SettingChanged(double a, double b) { return std::fabs(a - b) >= kTimeEpsilon; }

}  // namespace velmor_dsp
