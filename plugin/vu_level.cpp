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

void VuLevel::SetLevelsPair(VuLevel& a, const double* xa, VuLevel& b, const double* xb, int n, int sampleRate) {
    if (n <= 0) return;
    constexpr int kChunk = 64;
    double ca[kChunk], cb[kChunk];
    EnvelopeFollower::SeriesPair needles = Ballistics(a, b, sampleRate);
    for (int done = 0; done < n; done += kChunk) {
        const int m = n - done < kChunk ? n - done : kChunk;
        std::copy(xa + done, xa + done + m, ca);
        std::copy(xb + done, xb + done + m, cb);
        ClampLevels(ca, m);
        ClampLevels(cb, m);
        for (int i = 0; i < m; ++i) needles.Step(ca[i], cb[i], ca[i], cb[i]);
        if (done + m >= n) {
            a.Publish(ca[m - 1]);
            b.Publish(cb[m - 1]);
        }
    }
    needles.Finish();
}
