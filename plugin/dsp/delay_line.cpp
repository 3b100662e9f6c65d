#include "plugin/dsp/delay_line.h"

#include <algorithm>

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
