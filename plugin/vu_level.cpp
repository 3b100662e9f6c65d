#include "plugin/vu_level.h"

#include <algorithm>

namespace {
// +6 dB: the needle's end stop; louder input is held there.
constexpr double kLevelCeiling = 1.99526;
constexpr double kPeakFallMs = 300.0;
constexpr double kNeedleRiseMs = 300.0;
}  // namespace

void VuLevel::SetLevel(double x, int sampleRate) {
    x = std::min(x, kLevelCeiling);
    const double a = mPeakFollower.Process(x, sampleRate, 0.0, kPeakFallMs);
    const double level = mNeedleFollower.Process(a, sampleRate, kNeedleRiseMs, 0.0);
    mLevel.store(level, std::memory_order_relaxed);
}
