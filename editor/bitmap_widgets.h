// The standard bitmap controls: IBitmapWidget shows the frame of a strip
// that its value selects (the editor's background is one); ISwitchWidget
// steps through its frames on every press.
#pragma once

#include "editor/bitmap_ref.h"
#include "editor/widget.h"

class IBitmapWidget : public IWidget {
public:
    IBitmapWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBitmapRef& bitmap,
                  const IBlend& blend);
    ~IBitmapWidget() override;
    // Frame 1 of a single picture; otherwise FrameForValue over the strip.
    void Paint(IEditor& editor) override;

    const IBitmapRef& Bitmap() const { return mBitmap; }

private:
    IBitmapRef mBitmap;
};

class ISwitchWidget : public IBitmapWidget {
public:
    ISwitchWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBitmapRef& bitmap,
                  const IBlend& blend);
    ~ISwitchWidget() override;
    // Any button: the next frame's value, wrapping from the last to 0 (a
    // two-frame switch toggles 0 and 1), sent to the plug-in.
    void OnPointerDown(int x, int y, const IMouseMods& mods) override;
    // Same as a press, so a fast double click steps twice.
    void OnPointerDoubleClick(int x, int y, const IMouseMods& mods) override;
};

// The rectangle of a control placed at (x, y) showing one frame of bitmap.
IRectangle FrameRectAt(int x, int y, const IBitmapRef& bitmap);
