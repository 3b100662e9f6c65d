#include "editor/x11/x11_editor.h"

#include <X11/Xlib.h>

#include <cstdint>

#include "editor/editor_scale.h"
#include "editor/x11/x11_window.h"

namespace {

// A host calling effEditIdle at the frame rate itself is a little early or
// late each time; a tick that is due within this much is run now rather
// than one idle call later.
constexpr std::chrono::milliseconds kEarlyTick{4};

std::chrono::milliseconds TimerPeriod(int frameRate) {
    return std::chrono::milliseconds(1000 / (frameRate > 0 ? frameRate : 1));
}

}  // namespace

IEditorX11::IEditorX11(IEditorDelegate* plugin, int width, int height, int frameRate, ResourceFinder resources)
    : IEditor(plugin, width, height, frameRate), mResources(resources) {}

IEditorX11::~IEditorX11() { CloseEditorWindow(); }

void* IEditorX11::OpenEditorWindow(void* parent) {
    const auto parentId = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent));
    int x = 0;
    int y = 0;
    int w = ScaledWidth();
    int h = ScaledHeight();
    if (mWindow) {
        int sx = 0;
        int sy = 0;
        int sw = 0;
        int sh = 0;
        int px = 0;
        int py = 0;
        if (mWindow->ScreenRect(&sx, &sy, &sw, &sh) && mWindow->ToWindow(parentId, sx, sy, &px, &py)) {
            x = px;
            y = py;
            w = sw;
            h = sh;
        }
        CloseEditorWindow();
    }
    // A connection of our own to the display the environment names: what a
    // host passes beside the parent (its Display, 0 or anything) is not ours
    // to read.
    mWindow = X11EditorWindow::Open(nullptr, parentId, x, y, w, h, Scale());
    if (!mWindow) return nullptr;
    mParent = parentId;
    for (int i = 0; i < ControlCount(); ++i) Control(i)->MarkDirty(false);
    PaintAll();
    mNextTick = std::chrono::steady_clock::now() + TimerPeriod(FrameRate());
    return EditorWindow();
}

void IEditorX11::CloseEditorWindow() { mWindow.reset(); }

void* IEditorX11::EditorWindow() const {
    if (!mWindow || !mWindow->Alive()) return nullptr;
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(mWindow->Id()));
}

void IEditorX11::Idle() {
    if (!mWindow) return;
    mWindow->DispatchEvents(*this);
    if (!mWindow || !mWindow->Alive()) {
        // Gone with the host's frame: the connection goes too.
        CloseEditorWindow();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now + kEarlyTick < mNextTick) return;
    const std::chrono::milliseconds period = TimerPeriod(FrameRate());
    mNextTick += period;
    // After a stall (a host that stopped idling), one tick, then the
    // ordinary pace again rather than a burst of catching up.
    if (mNextTick <= now) mNextTick = now + period;
    RepaintDirty();
}

int IEditorX11::WindowEventFd() const { return mWindow ? mWindow->ConnectionFd() : -1; }

bool IEditorX11::PresentRegion(const IRectangle& rect) {
    if (mWindow) mWindow->Present(*Surface(), ScaleRectOut(rect, Scale()));
    return true;
}

double IEditorX11::SystemScale() { return ServerScale(nullptr); }

double IEditorX11::SetScale(double scale) {
    const double before = Scale();
    const double taken = IEditor::SetScale(scale);
    if (taken != before && mWindow && mWindow->Alive() && mParent) {
        // Made again at the new size, at the frame's origin where hosts put it.
        CloseEditorWindow();
        OpenEditorWindow(reinterpret_cast<void*>(static_cast<std::uintptr_t>(mParent)));
    }
    return taken;
}

std::unique_ptr<IRasterBitmap> IEditorX11::LoadBitmapResource(int resourceId, const char* fileName) {
    return NewPictureFromResource(mResources, resourceId, fileName);
}

bool IEditorX11::UsesSharedMemory() const { return mWindow && mWindow->UsesSharedMemory(); }
