// The knob of every continuous parameter: a 240-frame strip, dragged
// vertically with a gearing of 4 (four knob heights sweep the range).
#pragma once

#include "editor/knob_widgets.h"

class VelmorKnob : public IKnobStripWidget {
public:
    VelmorKnob(IEditorDelegate* plugin, int x, int y, int paramIndex, const IBitmapRef& bitmap);
    ~VelmorKnob() override;
};
