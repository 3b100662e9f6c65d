#include "plugin/velmor_coefficients.h"

#include <climits>
#include <cmath>

#include "plugin/vocal_chain.h"

double DbToGain(double db) { return db > -200.0 ? std::pow(10.0, db / 20.0) : 0.0; }

double CrispyAmount(double v) {
    const double b = v / 6.0;
    // Kept in de Casteljau's nested form (control points 0, 0.05, 1) so the
    // rounding is that of the two-level interpolation, not of the expanded
    // polynomial.
    const double first = (1.0 - b) * 0.0 + b * 0.05;
    const double second = (1.0 - b) * 0.05 + b;
    return (first * (1.0 - b) + second * b) * 6.0 * 0.083;
}

namespace {
constexpr ModeVoicing kVoicings[] = {
    {1.5, 1.5, 160.0, 160.0, 280.0},  // 1 "A"
    {1.0, 1.0, 50.0, 30.0, 20.0},     // 2 "B"
    {0.2, 0.2, 50.0, 30.0, 5.0},      // 3 "C"
    {0.2, 0.2, 50.0, 30.0, 0.0},      // 4 "D"
};
}  // namespace

// 0 shows as "A" and is voicing A: a session left at 0 must sound the same
// as when it is reopened in a fresh instance, which starts in voicing A.
const ModeVoicing* VoicingForMode(int m) {
    if (m == 0) return &kVoicings[0];
    return (m >= 1 && m <= 4) ? &kVoicings[m - 1] : nullptr;
}

double LongestLookaheadMs() {
    double longest = 0.0;
    for (const ModeVoicing& v : kVoicings) {
        if (v.lookaheadBandsMs > longest) longest = v.lookaheadBandsMs;
        if (v.lookaheadOutputMs > longest) longest = v.lookaheadOutputMs;
    }
    return longest;
}

int ChainLatencySamples(int sampleRate) {
    if (sampleRate <= 0) return 0;
    int longest = 0;
    for (const ModeVoicing& v : kVoicings) {
        const int delay = VocalChain::LookaheadDelay(v.lookaheadBandsMs, v.lookaheadOutputMs, sampleRate);
        if (delay > longest) longest = delay;
    }
    return longest;
}

int TruncateToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}
