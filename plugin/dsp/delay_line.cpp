#include "plugin/dsp/delay_line.h"

#include <algorithm>
#include <cstring>

void DelayLine::Clear() { std::fill(mBuffer.begin(), mBuffer.end(), 0.0); }

void DelayLine::Reserve(int maxLength) {
    if (maxLength > 0) mBuffer.reserve(static_cast<std::size_t>(maxLength));
}

// Out of line: runs only when the length changes (a new sample rate or
// look-ahead). Within the reserve, assign clears and re-sizes the storage
// in place; only a length past it allocates, on the audio thread.
void DelayLine::Resize(int length) {
    mBuffer.assign(static_cast<std::size_t>(length), 0.0);
    mLength = length;
}

namespace {

// Copies n samples from a flat array into a ring of length slots (from slot
// on), or from the ring into a flat array, wrapping at the ring's end.
// Returns the slot after the last.
template <bool kIntoRing>
int RingCopy(double* ring, int length, int slot, const double* from, double* to, int n) {
    while (n > 0) {
        const int run = std::min(n, length - slot);
        if (kIntoRing) {
            std::memcpy(ring + slot, from, sizeof(double) * static_cast<std::size_t>(run));
            from += run;
        } else {
            std::memcpy(to, ring + slot, sizeof(double) * static_cast<std::size_t>(run));
            to += run;
        }
        n -= run;
        slot += run;
        if (slot == length) slot = 0;
    }
    return slot;
}

}  // namespace

void DelayLine::ProcessBlock(const double* x, double* y, int n, int length) {
    if (n <= 0) return;
    if (!Settle(length)) {
        if (y != x) std::memmove(y, x, sizeof(double) * static_cast<std::size_t>(n));
        return;
    }
    // Call j stores x[j] at slot (position + j) mod length and answers the
    // slot after it, which holds the input length - 1 calls old. A call
    // reads its slot before any later call writes it, so the reads can all
    // go first, then the writes. Where y is x the input goes through a copy
    // first.
    constexpr int kChunk = 64;
    double copy[kChunk];
    const int delay = mLength - 1;
    for (int done = 0; done < n; done += kChunk) {
        const int m = std::min(kChunk, n - done);
        const double* in = x + done;
        if (y == x) {
            std::memcpy(copy, in, sizeof(double) * static_cast<std::size_t>(m));
            in = copy;
        }
        double* out = y + done;
        const int fromRing = std::min(m, delay);
        const int next = mPosition + 1 == mLength ? 0 : mPosition + 1;
        RingCopy<false>(mBuffer.data(), mLength, next, nullptr, out, fromRing);
        if (m > delay) std::memcpy(out + delay, in, sizeof(double) * static_cast<std::size_t>(m - delay));
        // Only the last length writes stay in the ring.
        const int first = std::max(0, m - mLength);
        mPosition =
            RingCopy<true>(mBuffer.data(), mLength, (mPosition + first) % mLength, in + first, nullptr, m - first);
    }
}
