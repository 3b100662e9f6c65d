#include "plugin/dsp/delay_line.h"

#include <algorithm>

void DelayLine::Clear() { std::fill(mBuffer.begin(), mBuffer.end(), 0.0); }

// Out of line: runs only when the length changes (a new sample rate or
// look-ahead); this is the one place the audio path may allocate.
void DelayLine::Resize(int length) {
    mBuffer.assign(static_cast<std::size_t>(length), 0.0);
    mLength = length;
}
