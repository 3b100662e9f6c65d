#include "tools/velmor-host/output_samples.h"

#include <cmath>

OutputQuantiser::OutputQuantiser(AudioEncoding encoding, bool dither) {
    const int bits = IntegerBits(encoding);
    if (bits > 0) mScale = std::ldexp(1.0, bits - 1);
    mDither = dither && bits > 0 && bits <= kMaxDitheredBits;
}

// Two uniform values in [0, 1) from a 64-bit xorshift, differenced: a
// triangular distribution over (-1, 1) LSB, the dither that makes the
// rounding error independent of the signal.
double OutputQuantiser::NextTriangular() {
    auto uniform = [this] {
        mState ^= mState << 13;
        mState ^= mState >> 7;
        mState ^= mState << 17;
        return static_cast<double>(mState >> 11) * (1.0 / 9007199254740992.0);
    };
    const double a = uniform();
    return a - uniform();
}

void OutputQuantiser::Process(double* samples, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        double x = samples[i];
        if (!std::isfinite(x)) {
            ++mNonFinite;
            samples[i] = 0.0;
            continue;
        }
        mPeak = std::fmax(mPeak, std::fabs(x));
        if (mScale == 0.0) continue;
        double v = x * mScale;
        // A sample already on the grid has no rounding error to decorrelate:
        // it is kept as it is, so unprocessed integer audio passes through
        // bit for bit and digital silence stays silent.
        if (mDither && v != std::nearbyint(v)) v += NextTriangular();
        v = std::nearbyint(v);
        if (v > mScale - 1.0) {
            v = mScale - 1.0;
            ++mClipped;
        } else if (v < -mScale) {
            v = -mScale;
            ++mClipped;
        }
        samples[i] = v / mScale;
    }
}
