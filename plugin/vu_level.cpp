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

void VuLevel::SetLevelsPair(VuLevel& a, const double* xa, VuLevel& b, const double* xb, int n, int sampleRate) {
    constexpr int kChunk = 64;
    double ca[kChunk], cb[kChunk];
    for (int done = 0; done < n; done += kChunk) {
        const int m = n - done < kChunk ? n - done : kChunk;
        for (int i = 0; i < m; ++i) {
            ca[i] = std::min(xa[done + i], kLevelCeiling);
            cb[i] = std::min(xb[done + i], kLevelCeiling);
        }
        EnvelopeFollower::ProcessPairSeries(a.mPeakFollower, a.mNeedleFollower, b.mPeakFollower, b.mNeedleFollower, ca,
                                            cb, ca, cb, m, sampleRate, 0.0, kPeakFallMs, kNeedleRiseMs, 0.0);
        if (done + m >= n) {
            a.mLevel.store(ca[m - 1], std::memory_order_relaxed);
            b.mLevel.store(cb[m - 1], std::memory_order_relaxed);
        }
    }
}
