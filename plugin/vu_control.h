// The needle meter: draws the level of one of the plug-in's meters (fed by
// the audio chain) as a needle over a printed face, with a peak LED, and
// animates the meter's lamp when "Power" switches.
//
// Threads: window thread. The level, power flag and Mode come from the
// plug-in's meter reading (atomics); the fade average is the widget's own.
#pragma once

#include "editor/bitmap_ref.h"
#include "editor/widget.h"
#include "plugin/dsp/moving_average.h"

class VuControl : public IWidget {
public:
    // Rectangle from (x, y) and the face's size; bound to no parameter. meter
    // is the number of the plug-in's meter it shows.
    VuControl(IEditorDelegate* plugin, int x, int y, const IBitmapRef& face, const IBitmapRef& needle,
              const IBitmapRef& frame, const IBitmapRef& cap, const IBitmapRef& offState, const IBitmapRef& onState,
              const IBitmapRef& greenLed, const IBitmapRef& redLed, int meter);
    ~VuControl() override;
    // Face, needle, LED, cap, lamp animation, frame, in that order.
    void Paint(IEditor& editor) override;
    // A meter moves on every tick.
    bool NeedsPaint() const override { return true; }

    // Where the LED sits, from the meter's top-left corner.
    static constexpr int kLedX = 234;
    static constexpr int kLedY = 109;
    // Redraws the lamp's fade is averaged over (59 ticks, 2.4 s at 25 per
    // second), and the animation strips' length.
    static constexpr int kFadeLength = 60;

    // The last fade position drawn (0 dark .. 1 lit), for tests.
    double Fade() const { return mFade; }

private:
    IBitmapRef mFace, mNeedle, mFrame, mCap, mOffState, mOnState, mGreenLed, mRedLed;
    int mMeter;
    double mFade = 0.0;
    MovingAverage mFadeAverage;
};
