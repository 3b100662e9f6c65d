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
// ring order is held. This is the result of one forward walk with
// "ring[i] >= best" starting from best = 0, done in two cheaper passes:
// a maximum over four independent lanes, then a backward search for the last
// slot holding it. NaN slots never compare greater (or equal) and are skipped
// in both passes, so the held peak stays a number; if every slot is NaN the
// held slot stays where it was, as in the forward walk.
void LookaheadLimiter::Rescan() {
    const double* ring = mRing.data();
    const int n = mRingLength;
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, b3 = 0.0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        b0 = ring[i] > b0 ? ring[i] : b0;
        b1 = ring[i + 1] > b1 ? ring[i + 1] : b1;
        b2 = ring[i + 2] > b2 ? ring[i + 2] : b2;
        b3 = ring[i + 3] > b3 ? ring[i + 3] : b3;
    }
    for (; i < n; ++i) b0 = ring[i] > b0 ? ring[i] : b0;
    b0 = b1 > b0 ? b1 : b0;
    b2 = b3 > b2 ? b3 : b2;
    const double best = b2 > b0 ? b2 : b0;
    for (int j = n - 1; j >= 0; --j) {
        if (ring[j] == best) {
            mHeldIndex = j;
            break;
        }
    }
    mHeldPeak = best;
}
