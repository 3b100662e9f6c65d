#include "editor/widget.h"

#include "core/editor_delegate.h"
#include "editor/rect_rules.h"

IWidget::IWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBlend& blend)
    : mPlugin(plugin), mRect(rect), mTargetRect(rect), mParamIndex(paramIndex), mBlend(blend) {}

IWidget::~IWidget() = default;

// A right press would open a value prompt; the prompt is disabled on every
// control of this system, so a press changes nothing here.
void IWidget::OnPointerDown(int, int, const IMouseMods&) {}

void IWidget::OnPointerUp(int, int, const IMouseMods&) {}
void IWidget::OnPointerDrag(int, int, int, int, const IMouseMods&) {}

void IWidget::OnPointerDoubleClick(int, int, const IMouseMods&) {
    const double def = DefaultValue();
    if (def >= 0.0) {
        SetValue(def);
        MarkDirty(true);
    }
}

void IWidget::OnWheel(int, int, const IMouseMods&, int) {}
bool IWidget::OnKey(int, int, int) { return false; }
void IWidget::OnPointerEnter(int, int, const IMouseMods&) {}
void IWidget::OnPointerLeave() {}

void IWidget::ApplyPluginValue(double v) {
    if (DefaultValue() < 0.0) {
        SetDefaultValue(v);
        SetValue(v);
        return;
    }
    // != is true for NaN, so an unordered value counts as a change.
    if (v != Value()) {
        SetValue(v);
        MarkDirty(false);
        mRepaintPending.store(true, std::memory_order_relaxed);
    }
}

void IWidget::ApplyUserValue(double v) {
    if (v != Value()) {
        SetValue(v);
        MarkDirty(true);
        mRepaintPending.store(true, std::memory_order_relaxed);
    }
}

void IWidget::SetHidden(bool hidden) {
    mHidden.store(hidden, std::memory_order_relaxed);
    mRepaintPending.store(true, std::memory_order_relaxed);
    MarkDirty(false);
}

void IWidget::SetGreyed(bool greyed) {
    mGreyed = greyed;
    mBlend.weight = greyed ? 0.25f : 1.0f;
    MarkDirty(false);
}

bool IWidget::Contains(int x, int y) const { return ::Contains(mTargetRect, x, y); }

void IWidget::MarkDirty(bool pushToPlugin) {
    double v = Value();
    // A NaN from a host is shown (and sent) as the low end rather than kept:
    // it would otherwise survive every later clamp.
    if (!(v >= mClampLow)) {
        v = mClampLow;
    } else if (v > mClampHigh) {
        v = mClampHigh;
    }
    SetValue(v);
    mDirty.store(true, std::memory_order_relaxed);
    if (pushToPlugin && mPlugin && mParamIndex >= 0) mPlugin->SetParameterFromEditor(mParamIndex, v);
}

void IWidget::FinishPaint() {
    mDirty.store(mRepaintPending.load(std::memory_order_relaxed), std::memory_order_relaxed);
    mRepaintPending.store(false, std::memory_order_relaxed);
}

bool IWidget::NeedsPaint() const { return IsDirty(); }

void IWidget::ApplyPluginAuxValue(int binding, double v) {
    if (binding < 0 || binding >= AuxBindingCount()) return;
    IAuxBinding* aux = mAuxBindings[static_cast<std::size_t>(binding)].get();
    if (v != aux->value.load(std::memory_order_relaxed)) {
        aux->value.store(v, std::memory_order_relaxed);
        MarkDirty(false);
        mRepaintPending.store(true, std::memory_order_relaxed);
    }
}

int IWidget::FindAuxBinding(int paramIndex) const {
    for (int i = 0; i < AuxBindingCount(); ++i) {
        if (mAuxBindings[static_cast<std::size_t>(i)]->paramIndex == paramIndex) return i;
    }
    return -1;
}

void IWidget::AddAuxBinding(int paramIndex) {
    mAuxBindings.push_back(std::make_unique<IAuxBinding>());
    mAuxBindings.back()->paramIndex = paramIndex;
}

double IWidget::AuxValue(int binding) const {
    if (binding < 0 || binding >= AuxBindingCount()) return 0.0;
    return mAuxBindings[static_cast<std::size_t>(binding)]->value.load(std::memory_order_relaxed);
}
