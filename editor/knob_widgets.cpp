#include "editor/knob_widgets.h"

#include "editor/editor.h"
#include "editor/frame_for_value.h"
#include "editor/rect_rules.h"

IKnobWidget::IKnobWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBlend& blend)
    : IWidget(plugin, rect, paramIndex, blend) {}

void IKnobWidget::OnPointerDown(int, int, const IMouseMods&) {}

void IKnobWidget::OnPointerDrag(int, int, int dX, int dY, const IMouseMods& mods) {
    double g = mGearing;
    if (mods.control || mods.shift) g *= 10.0;
    const IRectangle& r = Rect();
    // Screen y grows downwards, so an upward drag (negative dY) over the
    // negative height top - bottom raises the value.
    const bool vertical = mDirection == kVertical;
    const int span = vertical ? r.top - r.bottom : r.right - r.left;
    if (span == 0) return;  // a knob without size has no drag scale
    SetValue(Value() + static_cast<double>(vertical ? dY : dX) / static_cast<double>(span) / g);
    MarkDirty(true);
}

void IKnobWidget::OnWheel(int, int, const IMouseMods& mods, int steps) {
    SetValue(Value() + steps * ((mods.control || mods.shift) ? 0.001 : 0.01));
    MarkDirty(true);
}

IKnobStripWidget::IKnobStripWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex,
                                   const IBitmapRef& bitmap, const IBlend& blend)
    : IKnobWidget(plugin, rect, paramIndex, blend), mBitmap(bitmap) {}

void IKnobStripWidget::Paint(IEditor& editor) {
    editor.DrawBitmapFrame(mBitmap, Rect(), FrameForValue(Value(), mBitmap.frames), &Blend());
}
