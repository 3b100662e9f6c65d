#include "plugin/dsp/moving_average.h"

void MovingAverage::Restart(int length) {
    mLength = length;
    mDelay.Clear();
    mSum = 0.0;
}
