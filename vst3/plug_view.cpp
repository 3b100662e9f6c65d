#include "vst3/plug_view.h"

#include <cmath>
#include <cstring>

#include "vst3/effect_vst3.h"

using namespace vst3;

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

}  // namespace

IPlugView* VST3View::Create(IEffectVST3& owner) {
    try {
        return new VST3View(owner);
    } catch (...) {
        return nullptr;
    }
}

VST3View::VST3View(IEffectVST3& owner) : mOwner(owner) { mOwner.AddRef(); }

VST3View::~VST3View() {
    if (mAttached) removed();
    if (mFrame) mFrame->release();
    mOwner.Release();
}

ViewRect VST3View::EditorRect(IEffectVST3& owner) {
    return ViewRect{0, 0, owner.Exporter().EditorWidth(), owner.Exporter().EditorHeight()};
}

tresult VST3View::queryInterface(const char* iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPlugViewIid)) {
        *obj = static_cast<IPlugView*>(this);
    } else if (SameUid(iid, kIPlugViewContentScaleSupportIid)) {
        *obj = static_cast<IPlugViewContentScaleSupport*>(this);
    } else if (SameUid(iid, kITimerHandlerIid)) {
        *obj = static_cast<ITimerHandler*>(&mTimer);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

std::uint32_t VST3View::addRef() { return mReferences.fetch_add(1, std::memory_order_relaxed) + 1; }

std::uint32_t VST3View::release() {
    const std::uint32_t left = mReferences.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

tresult VST3View::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

IRunLoop* VST3View::FindRunLoop() const {
    void* loop = nullptr;
    if (mFrame && mFrame->queryInterface(kIRunLoopIid.Data(), &loop) == kResultOk && loop) {
        return static_cast<IRunLoop*>(loop);
    }
    FUnknown* context = mOwner.HostContext();
    if (context && context->queryInterface(kIRunLoopIid.Data(), &loop) == kResultOk && loop) {
        return static_cast<IRunLoop*>(loop);
    }
    return nullptr;
}

tresult VST3View::attached(void* parent, FIDString type) {
    if (!parent || isPlatformTypeSupported(type) != kResultTrue) return kInvalidArgument;
    if (mAttached || mOwner.AttachedView()) return kResultFalse;
#if !defined(_WIN32)
    // Without the host's loop nothing would ever paint the window or read
    // its events: better no editor than a dead one.
    IRunLoop* loop = FindRunLoop();
    if (!loop) return kResultFalse;
#endif
    if (!mOwner.Exporter().OpenEditor(parent)) {
#if !defined(_WIN32)
        loop->release();
#endif
        return kResultFalse;
    }
#if !defined(_WIN32)
    if (loop->registerTimer(&mTimer, kIdleMilliseconds) != kResultOk) {
        mOwner.Exporter().CloseEditor();
        loop->release();
        return kResultFalse;
    }
    mRunLoop = loop;
#endif
    mAttached = true;
    mOwner.SetAttachedView(this);
    return kResultOk;
}

tresult VST3View::removed() {
    if (!mAttached) return kResultFalse;
    if (mRunLoop) {
        mRunLoop->unregisterTimer(&mTimer);
        mRunLoop->release();
        mRunLoop = nullptr;
    }
    mOwner.Exporter().CloseEditor();
    mAttached = false;
    mOwner.SetAttachedView(nullptr);
    return kResultOk;
}

tresult VST3View::onWheel(float /*distance*/) { return kResultFalse; }
tresult VST3View::onKeyDown(char16, std::int16_t, std::int16_t) { return kResultFalse; }
tresult VST3View::onKeyUp(char16, std::int16_t, std::int16_t) { return kResultFalse; }

tresult VST3View::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = EditorRect(mOwner);
    return kResultOk;
}

tresult VST3View::onSize(ViewRect* newSize) {
    if (!newSize) return kInvalidArgument;
    const ViewRect own = EditorRect(mOwner);
    return newSize->right - newSize->left == own.right && newSize->bottom - newSize->top == own.bottom ? kResultOk
                                                                                                       : kResultFalse;
}

tresult VST3View::onFocus(TBool /*state*/) { return kResultOk; }

tresult VST3View::setFrame(IPlugFrame* frame) {
    if (frame) frame->addRef();
    if (mFrame) mFrame->release();
    mFrame = frame;
    return kResultOk;
}

tresult VST3View::canResize() { return kResultFalse; }

tresult VST3View::checkSizeConstraint(ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    const ViewRect own = EditorRect(mOwner);
    rect->right = rect->left + own.right;
    rect->bottom = rect->top + own.bottom;
    return kResultTrue;
}

tresult VST3View::setContentScaleFactor(float factor) {
    if (!(factor > 0.0f) || !std::isfinite(factor)) return kInvalidArgument;
    // The exporter tells the plug-in's host (EditorResized below, through
    // the instance) when the size changed.
    mOwner.Exporter().SetEditorScale(static_cast<double>(factor));
    return kResultTrue;
}

void VST3View::EditorResized() {
    if (!mAttached || !mFrame) return;
    ViewRect rect = EditorRect(mOwner);
    mFrame->resizeView(this, &rect);
}

void VST3View::Timer::onTimer() {
    if (!mView.mAttached) return;
    mView.mOwner.Exporter().IdleEditor();
    mView.mOwner.ReportLatencyChange();
}
