// Which frame of an n-frame strip shows a normalised value: the knobs, the
// bitmap controls and the meter needle all pick their frame this way, and the
// artwork generator places its printed scales with the same rule.
#pragma once

#include <cmath>

// trunc((frames - 1) * value + 0.5) + 1 in double precision, clamped to
// [1, frames]: value 0 gives frame 1, 1 gives the last frame, and halves round
// up (0.5 of 240 frames is frame 121). A NaN value, or a strip without
// frames, gives frame 1.
inline int FrameForValue(double value, int frames) {
    const double n = std::trunc((frames - 1) * value + 0.5) + 1.0;
    if (!(n >= 1.0) || frames < 1) return 1;
    if (n > frames) return frames;
    return static_cast<int>(n);
}
