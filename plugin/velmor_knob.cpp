#include "plugin/velmor_knob.h"

#include "editor/bitmap_widgets.h"

VelmorKnob::VelmorKnob(IEditorDelegate* plugin, int x, int y, int paramIndex, const IBitmapRef& bitmap)
    : IKnobStripWidget(plugin, FrameRectAt(x, y, bitmap), paramIndex, bitmap, IBlend{}) {
    SetDirection(kVertical);
    SetGearing(4.0);
}

VelmorKnob::~VelmorKnob() = default;
