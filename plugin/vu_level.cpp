#include "plugin/vu_level.h"

#include <algorithm>

namespace {
constexpr double kPeakFallMs = 300.0;
constexpr double kNeedleRiseMs = 300.0;
}  // namespace

void VuLevel::SetLevel(double x, int sampleRate) { SetLevels(&x, 1, sampleRate); }

void VuLevel::SetLevels(const double* x, int n, int sampleRate) {
    if (n <= 0) return;
    double level = 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = mPeakFollower.Process(Clamp(x[i]), sampleRate, 0.0, kPeakFallMs);
        level = mNeedleFollower.Process(a, sampleRate, kNeedleRiseMs, 0.0);
    }
    mLevel.store(level, std::memory_order_relaxed);
}

EnvelopeFollower::SeriesPair VuLevel::Ballistics(VuLevel& a, VuLevel& b, int sampleRate) {
    return EnvelopeFollower::SeriesPair(a.mPeakFollower, a.mNeedleFollower, b.mPeakFollower, b.mNeedleFollower,
                                        sampleRate, 0.0, kPeakFallMs, kNeedleRiseMs, 0.0);
}
