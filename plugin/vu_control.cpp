#include "plugin/vu_control.h"

#include "core/editor_delegate.h"
#include "editor/bitmap_widgets.h"
#include "editor/editor.h"
#include "editor/frame_for_value.h"
#include "plugin/needle_math.h"

VuControl::VuControl(IEditorDelegate* plugin, int x, int y, const IBitmapRef& face, const IBitmapRef& needle,
                     const IBitmapRef& frame, const IBitmapRef& cap, const IBitmapRef& offState,
                     const IBitmapRef& onState, const IBitmapRef& greenLed, const IBitmapRef& redLed, int meter)
    : IWidget(plugin, IRectangle{x, y, x + face.width, y + face.height}, -1, IBlend{}),
      mFace(face),
      mNeedle(needle),
      mFrame(frame),
      mCap(cap),
      mOffState(offState),
      mOnState(onState),
      mGreenLed(greenLed),
      mRedLed(redLed),
      mMeter(meter) {}

VuControl::~VuControl() = default;

void VuControl::Paint(IEditor& editor) {
    const IRectangle& r = Rect();
    const IBlend& blend = Blend();
    // A plug-in without this meter shows it at rest, powered.
    IMeterReading meter;
    if (Plugin()) Plugin()->ReadMeter(mMeter, &meter);
    const double level = meter.level;

    editor.DrawBitmapAt(mFace, r, 0, 0, &blend);
    editor.DrawBitmapFrame(mNeedle, r, NeedleFrame(level), &blend);

    // Red in the voicings B to D, green in A (Modes 0 and 1); lit once the
    // needle passes the 0 mark.
    const IBitmapRef& led = meter.mode > 1 ? mRedLed : mGreenLed;
    const IRectangle ledRect = FrameRectAt(r.left + kLedX, r.top + kLedY, led);
    editor.DrawBitmapFrame(led, ledRect, level > 1.0 ? 2 : 1, &blend);

    const bool powerOn = meter.powerOn;
    mFade = mFadeAverage.Process(powerOn ? 1.0 : 0.0, kFadeLength);

    editor.DrawBitmapAt(mCap, r, 0, 0, &blend);
    // Warming up from where the lamp stands when switched on, dying away
    // when switched off; an empty average makes the first draw warm up too.
    const IBitmapRef& lamp = powerOn ? mOnState : mOffState;
    const double position = powerOn ? mFade : 1.0 - mFade;
    editor.DrawBitmapFrame(lamp, r, FrameForValue(position, kFadeLength), &blend);
    editor.DrawBitmapAt(mFrame, r, 0, 0, &blend);
}
