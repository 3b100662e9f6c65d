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
        return Step(mBuffer.data(), mPosition, length, x);
    }

    // n calls of Process with the same length, x[i] into y[i] (y may be x).
    void ProcessBlock(const double* x, double* y, int n, int length) {
        if (n <= 0) return;
        y[0] = Process(x[0], length);  // settles the size and the position
        if (length <= 1) {
            // Nothing is delayed. A length of 1 keeps the last sample in its
            // one slot, as Process does.
            for (int i = 1; i < n; ++i) y[i] = x[i];
            if (length == 1) mBuffer[0] = x[n - 1];
            return;
        }
        double* buffer = mBuffer.data();
        int position = mPosition;
        for (int i = 1; i < n; ++i) y[i] = Step(buffer, position, length, x[i]);
        mPosition = position;
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

    // One sample, with the size settled and the position inside it: stores x
    // and answers the sample written length - 1 calls ago.
    static double Step(double* buffer, int& position, int length, double x) {
        buffer[position] = x;
        if (++position >= length) position = 0;
        return buffer[position];
    }

    std::vector<double> mBuffer;
    int mPosition = 0;
    int mLength = 0;
};
