// VST3View: the editor's view (IPlugView). The host embeds it in a window of
// its own: an X11 window id ("X11EmbedWindowID") on Linux, an HWND on
// Windows. On X11 the editor has no thread and no loop of its own; the view
// registers a timer with the host's run loop (asked of the frame, else of
// the host's context) and idles the editor from it. On Windows the editor's
// window keeps its own timer.
//
// The host's content scale (IPlugViewContentScaleSupport, on the same
// object) sets the editor's scale: getSize answers the scaled size, and an
// attached view asks its frame for it. Without one the view is 1x.
//
// Threads: every call on the host's UI thread; the window opens, paints and
// closes without the plug-in lock. A view keeps its instance alive.
#pragma once

#include <atomic>

#include "vst3/vst3_abi.h"

class IEffectVST3;

class VST3View final : public vst3::IPlugView, public vst3::IPlugViewContentScaleSupport {
public:
    // A new view of owner's editor, holding one reference for the host.
    static vst3::IPlugView* Create(IEffectVST3& owner);
    VST3View(const VST3View&) = delete;
    VST3View& operator=(const VST3View&) = delete;

    // The editor's size in pixels: the one place the view's size comes from.
    static vst3::ViewRect EditorRect(IEffectVST3& owner);
    // How often the run loop idles the editor.
    static constexpr std::uint64_t kIdleMilliseconds = 15;

    vst3::tresult queryInterface(const char* iid, void** obj) override;
    std::uint32_t addRef() override;
    std::uint32_t release() override;

    vst3::tresult isPlatformTypeSupported(vst3::FIDString type) override;
    // Opens the editor inside parent. Refused for another platform's type,
    // a null parent, a second attach (of this view or another of the same
    // instance) or, on X11, a host without a run loop.
    vst3::tresult attached(void* parent, vst3::FIDString type) override;
    vst3::tresult removed() override;
    // The window reads its own wheel and keys: nothing here is consumed.
    vst3::tresult onWheel(float distance) override;
    vst3::tresult onKeyDown(vst3::char16 key, std::int16_t keyCode, std::int16_t modifiers) override;
    vst3::tresult onKeyUp(vst3::char16 key, std::int16_t keyCode, std::int16_t modifiers) override;
    vst3::tresult getSize(vst3::ViewRect* size) override;
    // The panel has one size: any other is answered with it.
    vst3::tresult onSize(vst3::ViewRect* newSize) override;
    vst3::tresult onFocus(vst3::TBool state) override;
    vst3::tresult setFrame(vst3::IPlugFrame* frame) override;
    vst3::tresult canResize() override;
    vst3::tresult checkSizeConstraint(vst3::ViewRect* rect) override;
    // Snapped to the editor's scales; kResultTrue for any positive factor.
    vst3::tresult setContentScaleFactor(float factor) override;
    // The editor's size changed (its scale): an attached view asks the
    // host's frame for the new one.
    void EditorResized();

private:
    // The run loop's callback, an interface of the view's own.
    class Timer final : public vst3::ITimerHandler {
    public:
        explicit Timer(VST3View& view) : mView(view) {}
        vst3::tresult queryInterface(const char* iid, void** obj) override { return mView.queryInterface(iid, obj); }
        std::uint32_t addRef() override { return mView.addRef(); }
        std::uint32_t release() override { return mView.release(); }
        void onTimer() override;

    private:
        VST3View& mView;
    };

    explicit VST3View(IEffectVST3& owner);
    ~VST3View();
    // The host's run loop, with a reference, or null.
    vst3::IRunLoop* FindRunLoop() const;

    IEffectVST3& mOwner;
    std::atomic<std::uint32_t> mReferences{1};
    vst3::IPlugFrame* mFrame = nullptr;
    vst3::IRunLoop* mRunLoop = nullptr;
    bool mAttached = false;
    Timer mTimer{*this};
};
