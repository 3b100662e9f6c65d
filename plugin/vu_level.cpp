#include "plugin/vu_level.h"

#include <algorithm>

namespace {
// +6 dB: the needle's end stop; louder input is held there.
constexpr double kLevelCeiling = 1.99526;
constexpr double kPeakFallMs = 300.0;
constexpr double kNeedleRiseMs = 300.0;
}  // namespace

void VuLevel::SetLevel(double x, int sampleRate) { SetLevels(&x, 1, sampleRate); }

void VuLevel::SetLevels(const double* x, int n, int sampleRate) {
    if (n <= 0) return;
    double level = 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = mPeakFollower.Process(std::min(x[i], kLevelCeiling), sampleRate, 0.0, kPeakFallMs);
        level = mNeedleFollower.Process(a, sampleRate, kNeedleRiseMs, 0.0);
    }
    mLevel.store(level, std::memory_order_relaxed);
}

void VuLevel::ClampLevels(double* x, int n) {
    for (int i = 0; i < n; ++i) x[i] = std::min(x[i], kLevelCeiling);
}

EnvelopeFollower::SeriesPair VuLevel::Ballistics(VuLevel& a, VuLevel& b, int sampleRate) {
    return EnvelopeFollower::SeriesPair(a.mPeakFollower, a.mNeedleFollower, b.mPeakFollower, b.mNeedleFollower,
                                        sampleRate, 0.0, kPeakFallMs, kNeedleRiseMs, 0.0);
}
