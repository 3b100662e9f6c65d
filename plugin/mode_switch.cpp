#include "plugin/mode_switch.h"

#include <algorithm>

#include "core/effect_base.h"
#include "editor/bitmap_widgets.h"
#include "editor/editor.h"

ModeSwitch::ModeSwitch(IEffectBase* plugin, int y, int selectValue, const IBitmapRef& bitmap,
                       const std::atomic<int>& shownMode)
    : IWidget(plugin, FrameRectAt(1000, y, bitmap), kModeParam, IBlend{}),
      mBitmap(bitmap),
      mSelectValue(selectValue),
      mShownMode(shownMode) {}

ModeSwitch::~ModeSwitch() = default;

void ModeSwitch::OnPointerDown(int, int, const IMouseMods&) {
    const double v = mSelectValue * 0.25;
    SetValue(v);
    SetDefaultValue(v);
    if (IEffectBase* plugin = Plugin()) {
        if (IParameter* mode = plugin->GetParam(kModeParam)) {
            LockGuard guard(plugin->Lock());
            mode->SetClamped(std::max(mode->Min(), std::min<double>(mSelectValue, mode->Max())));
        }
    }
    // Sends 0.25 x selectValue, which maps back to selectValue, to the host
    // and the plug-in.
    MarkDirty(true);
}

void ModeSwitch::Paint(IEditor& editor) {
    const int m = mShownMode.load(std::memory_order_relaxed);
    editor.DrawBitmapFrame(mBitmap, Rect(), IsLit(m) ? 2 : 1, &Blend());
    mLastShownValue = m;
}

bool ModeSwitch::NeedsPaint() const { return mShownMode.load(std::memory_order_relaxed) != mLastShownValue; }
