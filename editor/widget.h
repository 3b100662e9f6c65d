// IWidget: the base of every element of the editor. It holds where it draws
// and where it is hit, an optional bound parameter and a normalised value,
// decides when it must be repainted, and pushes user changes to the plug-in.
//
// Threads: pointer, wheel, key and paint operations run on the editor's
// (window) thread. ApplyPluginValue, ApplyPluginAuxValue and SetHidden also
// run on host threads (automation) and the audio thread while the window
// thread paints, so every field they touch is a relaxed atomic: a value set
// there is seen by the next timer tick, never torn.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/host_types.h"
#include "raster/rectangle.h"

class IEditor;
class IEditorDelegate;

// How a control's pictures are combined with what lies beneath them.
struct IBlend {
    enum Method : std::int32_t {
        kAlphaCopy = 0,   // copy weighted by the picture's alpha
        kOpaqueCopy = 1,  // copy, alpha ignored
        kAdd = 2,         // additive, weighted by alpha
        kDodge = 3,       // colour dodge, weighted by alpha
    };
    std::int32_t method = kAlphaCopy;
    float weight = 1.0f;
};

// A second parameter a control follows besides its own.
struct IAuxBinding {
    std::atomic<double> value{0.0};
    std::int32_t paramIndex = -1;
};

class IWidget {
public:
    IWidget(IEditorDelegate* plugin, const IRectangle& rect, int paramIndex, const IBlend& blend);

    // ---- Virtual operations; the order is part of the interface. ----
    virtual ~IWidget();
    // With the right button this would open a value prompt, which is
    // disabled on every control: so nothing.
    virtual void OnPointerDown(int x, int y, const IMouseMods& mods);
    virtual void OnPointerUp(int x, int y, const IMouseMods& mods);
    virtual void OnPointerDrag(int x, int y, int dX, int dY, const IMouseMods& mods);
    // Restores the default value, once one is known.
    virtual void OnPointerDoubleClick(int x, int y, const IMouseMods& mods);
    virtual void OnWheel(int x, int y, const IMouseMods& mods, int steps);
    virtual bool OnKey(int x, int y, int key);
    virtual void OnPointerEnter(int x, int y, const IMouseMods& mods);
    virtual void OnPointerLeave();
    virtual void Paint(IEditor& editor) = 0;
    // A value from the plug-in or the host. The first one a control receives
    // becomes its default as well, without a repaint request.
    virtual void ApplyPluginValue(double v);
    // A value from the user: stored, sent to the plug-in and repainted.
    virtual void ApplyUserValue(double v);
    virtual void SetHidden(bool hidden);
    // Greyed controls draw at a quarter weight and are not hit.
    virtual void SetGreyed(bool greyed);
    virtual bool Contains(int x, int y) const;
    // Clamps the value into [clampLow, clampHigh], asks for a repaint and,
    // with pushToPlugin, sends the value to the bound parameter.
    virtual void MarkDirty(bool pushToPlugin);
    // After every paint pass, drawn or not: one pending repaint carries over.
    virtual void FinishPaint();
    virtual bool NeedsPaint() const;
    virtual void ApplyPluginAuxValue(int binding, double v);

    // ---- Non-virtual. ----
    const IRectangle& Rect() const { return mRect; }
    const IRectangle& TargetRect() const { return mTargetRect; }
    int ParamIndex() const { return mParamIndex; }
    double Value() const { return mValue.load(std::memory_order_relaxed); }
    void SetValue(double v) { mValue.store(v, std::memory_order_relaxed); }
    double DefaultValue() const { return mDefaultValue.load(std::memory_order_relaxed); }
    bool IsHidden() const { return mHidden.load(std::memory_order_relaxed); }
    bool IsGreyed() const { return mGreyed; }
    bool IsDirty() const { return mDirty.load(std::memory_order_relaxed); }
    bool RepaintPending() const { return mRepaintPending.load(std::memory_order_relaxed); }
    bool DoubleClickAsPress() const { return mDoubleClickAsPress; }
    const IBlend& Blend() const { return mBlend; }
    IEditorDelegate* Plugin() const { return mPlugin; }

    int AuxBindingCount() const { return static_cast<int>(mAuxBindings.size()); }
    // Binding number of the first auxiliary binding to paramIndex, or -1.
    int FindAuxBinding(int paramIndex) const;
    void AddAuxBinding(int paramIndex);
    double AuxValue(int binding) const;

protected:
    void SetDefaultValue(double v) { mDefaultValue.store(v, std::memory_order_relaxed); }
    void SetDoubleClickAsPress(bool on) { mDoubleClickAsPress = on; }

private:
    IEditorDelegate* mPlugin;  // not owned
    IRectangle mRect;
    IRectangle mTargetRect;
    std::int32_t mParamIndex;
    std::vector<std::unique_ptr<IAuxBinding>> mAuxBindings;
    std::atomic<double> mValue{0.0};
    std::atomic<double> mDefaultValue{-1.0};
    double mClampLow = 0.0;
    double mClampHigh = 1.0;
    std::atomic<bool> mDirty{true};
    std::atomic<bool> mHidden{false};
    bool mGreyed = false;
    std::atomic<bool> mRepaintPending{false};
    bool mDoubleClickAsPress = false;
    IBlend mBlend;
};
