// Knobs: IKnobWidget turns pointer drags and wheel notches into value
// changes; IKnobStripWidget shows the value as one frame of a strip.
#pragma once

#include "editor/bitmap_ref.h"
#include "editor/widget.h"

class IKnobWidget : public IWidget {
public:
    enum Direction { kVertical = 0, kHorizontal = 1 };

    IKnobWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBlend& blend);
    // A press alone changes nothing; the value follows the drag.
    void OnPointerDown(int x, int y, const IMouseMods& mods) override;
    // Moving the pointer by the knob's own size (up, or right) adds
    // 1 / gearing; ten times finer with shift or control.
    void OnPointerDrag(int x, int y, int dX, int dY, const IMouseMods& mods) override;
    // 0.01 per notch, 0.001 with shift or control.
    void OnWheel(int x, int y, const IMouseMods& mods, int steps) override;

    int Direction() const { return mDirection; }
    double Gearing() const { return mGearing; }

protected:
    void SetDirection(int direction) { mDirection = direction; }
    void SetGearing(double gearing) { mGearing = gearing; }

private:
    int mDirection = kVertical;
    double mGearing = 4.0;
};

class IKnobStripWidget : public IKnobWidget {
public:
    IKnobStripWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBitmapRef& bitmap,
                     const IBlend& blend);
    void Paint(IEditor& editor) override;

    const IBitmapRef& Bitmap() const { return mBitmap; }

private:
    IBitmapRef mBitmap;
};
