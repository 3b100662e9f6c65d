// The last step before samples reach the output file: integer outputs are
// rounded to their grid here (with TPDF dither for 16 bits and fewer) and
// clipped to their range, non-finite samples become silence, and what was
// clipped or replaced is counted for the report. Afterwards every sample is
// exactly representable in the output encoding, so the file writers only
// store them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/velmor-host/audio_file.h"

class OutputQuantiser {
public:
    OutputQuantiser(AudioEncoding encoding, bool dither);

    // In place, `count` interleaved samples.
    void Process(double* samples, std::size_t count);

    std::int64_t Clipped() const { return mClipped; }
    std::int64_t NonFinite() const { return mNonFinite; }
    // Largest magnitude met among the finite samples (1.0 is full scale).
    double Peak() const { return mPeak; }

private:
    double NextTriangular();

    double mScale = 0.0;  // 2^(bits-1) for integer outputs, 0 otherwise
    bool mDither = false;
    std::uint64_t mState = 0x9E3779B97F4A7C15ull;  // fixed seed: renders repeat to the bit
    std::int64_t mClipped = 0;
    std::int64_t mNonFinite = 0;
    double mPeak = 0.0;
};

// Bits at or below which integer output is dithered by default.
constexpr int kMaxDitheredBits = 16;
