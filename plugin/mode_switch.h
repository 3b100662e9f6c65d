// One of the four buttons that together choose "Mode": pressing one selects
// its Mode; the button of the current Mode is lit (Mode 0 lights the first,
// since 0 also shows as "A").
//
// Threads: window thread. The Mode shown is read through the plug-in's
// meter reading, which the plug-in updates whenever the parameter changes,
// so painting takes no lock.
#pragma once

#include "editor/bitmap_ref.h"
#include "editor/widget.h"

class ModeSwitch : public IWidget {
public:
    // Placed at (1000, y): outside the editor, following the parameter only.
    // The Mode shown is the mode of the plug-in's meter meter: the
    // parameter's value truncated to an integer.
    ModeSwitch(IEditorDelegate* plugin, int y, int selectValue, const IBitmapRef& bitmap, int meter);
    ~ModeSwitch() override;
    // Any button selects this button's Mode (again, if it is already on).
    void OnPointerDown(int x, int y, const IMouseMods& mods) override;
    void Paint(IEditor& editor) override;
    // True when the Mode changed since the last paint.
    bool NeedsPaint() const override;

    static constexpr int kModeParam = 8;

private:
    bool IsLit(int mode) const { return mode == mSelectValue || (mSelectValue == 1 && mode == 0); }
    int ShownMode() const;

    IBitmapRef mBitmap;
    int mSelectValue;
    int mMeter;
    int mLastShownValue = -1;
};
