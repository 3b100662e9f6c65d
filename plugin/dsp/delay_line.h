// Fixed-length delay: returns the sample written length - 1 calls ago, so a
// length of n delays by n - 1 samples and a length of 1 passes x through.
#pragma once

#include <vector>

class DelayLine {
public:
    // Audio thread, once per sample. The array is cleared and re-indexed
    // only when length changes (reallocated only past the reserve); length
    // <= 0 passes x through and stores nothing.
    double Process(double x, int length) {
        if (mPosition >= length) mPosition = 0;
        if (length <= 0) return x;
        if (length != mLength) Resize(length);
        mBuffer[mPosition] = x;
        if (++mPosition >= length) mPosition = 0;
        return mBuffer[mPosition];
    }

    // Zeroes the stored samples at the current size; keeps length and
    // position.
    void Clear();

    int Length() const { return mLength; }

    // Not on the audio thread: makes room for lengths up to maxLength, so a
    // later length change reuses the storage instead of allocating.
    void Reserve(int maxLength);

private:
    friend class LookaheadLimiter;  // runs its parts fused, sample by sample

    void Resize(int length);

    std::vector<double> mBuffer;
    int mPosition = 0;
    int mLength = 0;
};
