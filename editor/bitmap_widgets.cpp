#include "editor/bitmap_widgets.h"

#include "editor/editor.h"
#include "editor/frame_for_value.h"

IRectangle FrameRectAt(int x, int y, const IBitmapRef& bitmap) {
    return IRectangle{x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()};
}

IBitmapWidget::IBitmapWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBitmapRef& bitmap,
                             const IBlend& blend)
    : IWidget(plugin, rect, paramIndex, blend), mBitmap(bitmap) {}

IBitmapWidget::~IBitmapWidget() = default;

void IBitmapWidget::Paint(IEditor& editor) {
    const int frame = mBitmap.frames <= 1 ? 1 : FrameForValue(Value(), mBitmap.frames);
    editor.DrawBitmapFrame(mBitmap, Rect(), frame, &Blend());
}

ISwitchWidget::ISwitchWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBitmapRef& bitmap,
                             const IBlend& blend)
    : IBitmapWidget(plugin, rect, paramIndex, bitmap, blend) {}

ISwitchWidget::~ISwitchWidget() = default;

void ISwitchWidget::OnPointerDown(int, int, const IMouseMods&) {
    const int frames = Bitmap().frames;
    const double step = frames > 1 ? 1.0 / (frames - 1) : 1.0;
    double v = Value() + step;
    // The margin lets the last step land on the last frame despite the
    // rounding in the sum.
    if (v > 1.001) v = 0.0;
    SetValue(v);
    MarkDirty(true);
}

void ISwitchWidget::OnPointerDoubleClick(int x, int y, const IMouseMods& mods) { OnPointerDown(x, y, mods); }
