// One of the four buttons that together choose "Mode": pressing one selects
// its Mode; the button of the current Mode is lit (Mode 0 lights the first,
// since 0 also shows as "A").
//
// Threads: window thread. The Mode shown is read from an atomic the plug-in
// updates whenever the parameter changes, so painting takes no lock.
#pragma once

#include <atomic>

#include "editor/bitmap_ref.h"
#include "editor/widget.h"

class ModeSwitch : public IWidget {
public:
    // Placed at (1000, y): outside the editor, following the parameter only.
    // shownMode is the parameter's value truncated to an integer.
    ModeSwitch(IEffectBase* plugin, int y, int selectValue, const IBitmapRef& bitmap,
               const std::atomic<int>& shownMode);
    ~ModeSwitch() override;
    // Any button selects this button's Mode (again, if it is already on).
    void OnPointerDown(int x, int y, const IMouseMods& mods) override;
    void Paint(IEditor& editor) override;
    // True when the Mode changed since the last paint.
    bool NeedsPaint() const override;

    static constexpr int kModeParam = 8;

private:
    bool IsLit(int mode) const { return mode == mSelectValue || (mSelectValue == 1 && mode == 0); }

    IBitmapRef mBitmap;
    int mSelectValue;
    const std::atomic<int>& mShownMode;
    int mLastShownValue = -1;
};
