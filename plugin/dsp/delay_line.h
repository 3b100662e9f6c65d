// Fixed-length delay: returns the sample written length - 1 calls ago, so a
// length of n delays by n - 1 samples and a length of 1 passes x through.
#pragma once

#include <vector>

class DelayLine {
public:
    // Audio thread, once per sample. The array is reallocated and cleared
    // only when length changes; length <= 0 passes x through and stores
    // nothing.
    double Process(double x, int length) {
        if (mPosition >= length) mPosition = 0;
        if (length <= 0) return x;
        if (length != mLength) Resize(length);
        mBuffer[mPosition] = x;
        if (++mPosition >= length) mPosition = 0;
        return mBuffer[mPosition];
    }

    // n calls of Process with the same length, x[i] into y[i] (y may be x).
    void ProcessBlock(const double* x, double* y, int n, int length) {
        if (n <= 0) return;
        y[0] = Process(x[0], length);
        if (length <= 0) {
            for (int i = 1; i < n; ++i) y[i] = x[i];
            return;
        }
        double* buffer = mBuffer.data();
        int position = mPosition;
        for (int i = 1; i < n; ++i) {
            buffer[position] = x[i];
            if (++position >= length) position = 0;
            y[i] = buffer[position];
        }
        mPosition = position;
    }

    // Zeroes the stored samples at the current size; keeps length and
    // position.
    void Clear();

    int Length() const { return mLength; }

private:
    void Resize(int length);

    std::vector<double> mBuffer;
    int mPosition = 0;
    int mLength = 0;
};
