// Two-speed one-pole follower of |x|: one time constant while the input is
// above the envelope, another while it is at or below it. Used for the
// limiter's gain and for the meters' needle ballistics.
#pragma once

class EnvelopeFollower {
public:
    // Called once per sample. Times in ms; below 1e-10 ms a direction is
    // followed at once. Coefficients are remade only when a time moves by
    // 1e-10 or more or the sample rate changes.
    double Process(double x, int sampleRate, double riseMs, double fallMs);

    double Value() const { return mY; }

private:
    double mY = 0.0;
    double mCoefRise = 0.0;
    double mCoefFall = 0.0;
    double mCachedRiseMs = 0.0;
    double mCachedFallMs = 0.0;
    int mCachedRate = 0;
};
