#include "plugin/mode_switch.h"

#include "core/editor_delegate.h"
#include "editor/bitmap_widgets.h"
#include "editor/editor.h"

ModeSwitch::ModeSwitch(IEditorDelegate* plugin, int y, int selectValue, const IBitmapRef& bitmap, int meter)
    : IWidget(plugin, FrameRectAt(1000, y, bitmap), kModeParam, IBlend{}),
      mBitmap(bitmap),
      mSelectValue(selectValue),
      mMeter(meter) {}

ModeSwitch::~ModeSwitch() = default;

void ModeSwitch::OnPointerDown(int, int, const IMouseMods&) {
    const double v = mSelectValue * 0.25;
    SetValue(v);
    SetDefaultValue(v);
    // Sends 0.25 x selectValue to the host and the plug-in; on the Mode's
    // range 0..4 it maps back to selectValue, clamped into the range as a
    // direct set of the value would be.
    MarkDirty(true);
}

int ModeSwitch::ShownMode() const {
    IMeterReading reading;
    const IEditorDelegate* plugin = Plugin();
    return plugin && plugin->ReadMeter(mMeter, &reading) ? reading.mode : 0;
}

void ModeSwitch::Paint(IEditor& editor) {
    const int m = ShownMode();
    editor.DrawBitmapFrame(mBitmap, Rect(), IsLit(m) ? 2 : 1, &Blend());
    mLastShownValue = m;
}

bool ModeSwitch::NeedsPaint() const { return ShownMode() != mLastShownValue; }
