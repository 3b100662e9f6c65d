#include "plugin/dsp/lookahead_limiter.h"

// Runs only when the look-ahead length changes. The held peak and its slot
// belong to the old ring: a slot beyond a shorter ring would never be
// overwritten, so never rescanned, and its stale peak would hold the gain
// down for good. They are cleared with the ring.
void LookaheadLimiter::ResizeRing(int n) {
    mRing.assign(static_cast<std::size_t>(n), 0.0);
    mRingLength = n;
    mHeldPeak = 0.0;
    mHeldIndex = 0;
}

// Finds the largest value in the ring; among equal maxima the last slot in
// ring order is held (>= while walking forward). NaN slots never compare
// >= and are skipped, so the held peak stays a number.
void LookaheadLimiter::Rescan() {
    const double* ring = mRing.data();
    double best = 0.0;
    int index = mHeldIndex;
    for (int i = 0; i < mRingLength; ++i) {
        if (ring[i] >= best) {
            best = ring[i];
            index = i;
        }
    }
    mHeldPeak = best;
    mHeldIndex = index;
}
