#include "editor/win/editor_win.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <mutex>

#include "base/module_instance.h"
#include "core/editor_delegate.h"
#include "editor/editor_keys.h"
#include "editor/editor_scale.h"
#include "editor/platform_editor.h"
#include "editor/png_resource_bitmap.h"

namespace {

constexpr const char* kWindowClassName = "IEffectWndClass";
constexpr const char* kWindowTitle = "IEffect";
constexpr UINT_PTR kRepaintTimer = 2;
// One notch of a wheel, in the units of WM_MOUSEWHEEL's delta.
constexpr int kWheelNotch = 120;
// How long a close from another thread waits for the window's own thread.
constexpr UINT kCrossThreadCloseMs = 2000;
// The density messages, for headers that predate them: a top-level window's
// (WM_DPICHANGED) and a child's after its parent's (per-monitor v2).
constexpr UINT kDpiChanged = 0x02E0;
constexpr UINT kDpiChangedAfterParent = 0x02E3;
constexpr double kBaseDpi = 96.0;

// The DPI of window, or of the system without one: the per-window query
// where the system has it (Windows 10 and later), the screen's device
// context otherwise.
UINT WindowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using DpiForSystem = UINT(WINAPI*)();
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user && window) {
        if (auto forWindow =
                reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))) {
            if (const UINT dpi = forWindow(window)) return dpi;
        }
    }
    if (user) {
        if (auto forSystem =
                reinterpret_cast<DpiForSystem>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForSystem")))) {
            if (const UINT dpi = forSystem()) return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The class is registered by the first open editor window of the process and
// unregistered by the last. Editors of several instances may live on several
// host threads, so the count and the (un)registration are taken together
// under this lock; it is never held while a window is created or destroyed,
// which send messages across threads.
std::mutex gClassLock;
int gWindowClassUsers = 0;

IMouseMods ModsFromMouseMessage(WPARAM wParam) {
    IMouseMods mods;
    mods.left = (wParam & MK_LBUTTON) != 0;
    mods.right = (wParam & MK_RBUTTON) != 0;
    mods.shift = (wParam & MK_SHIFT) != 0;
    mods.control = (wParam & MK_CONTROL) != 0;
    mods.alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    return mods;
}

// Pointer coordinates are signed: with the capture held, a drag past the
// window's left or top edge reports negative positions.
int SignedLow(LPARAM lParam) { return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam))); }
int SignedHigh(LPARAM lParam) { return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam))); }

// A key the editor does not take goes to the host's top-level window, so
// its shortcuts work while the editor has the focus.
LRESULT ForwardToRoot(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (root && root != hwnd) SendMessageA(root, msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

std::unique_ptr<IEditor> CreatePlatformEditor(IEditorDelegate* plugin, int width, int height, int frameRate,
                                              ResourceFinder resources) {
    return std::make_unique<IEditorWin>(plugin, width, height, frameRate, resources);
}

struct IEditorWin::Window {
    explicit Window(IEditorWin& owner) : editor(owner) {}

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleKeyDown(HWND hwnd, WPARAM wParam, LPARAM lParam);
    void HandleWheel(HWND hwnd, WPARAM wParam, LPARAM lParam);
    void RepaintDirtyControls(HWND hwnd);
    // The screen's density under the window changed: a window that follows
    // it takes the new scale and size, and the host is told.
    void DensityChanged(HWND hwnd);
    // A pointer position of the window in the editor's coordinates.
    int ToEditor(int windowPixel) const { return UnscaleCoordinate(windowPixel, editor.Scale()); }
    void Resize(HWND hwnd);
    // Forgets hwnd and gives back its share of the window class, once per
    // window whichever way it goes (CloseEditorWindow or WM_DESTROY).
    void Release(HWND hwnd);

    IEditorWin& editor;
    HINSTANCE module = nullptr;       // owner of the window class
    bool hasModuleResources = false;  // the pictures are resources of module
    HWND window = nullptr;
    HWND parent = nullptr;
    bool inPaint = false;  // inside WM_PAINT, between GetUpdateRect and PresentRegion
};

IEditorWin::IEditorWin(IEditorDelegate* plugin, int width, int height, int frameRate, ResourceFinder resources)
    : IEditor(plugin, width, height, frameRate), mWin(std::make_unique<Window>(*this)), mResources(resources) {
    mWin->module = static_cast<HINSTANCE>(ModuleInstance());
    mWin->hasModuleResources = mWin->module != nullptr;
    // Linked into an executable, the editor's class belongs to that program.
    if (!mWin->module) mWin->module = GetModuleHandleA(nullptr);
}

IEditorWin::~IEditorWin() {
    CloseEditorWindow();
    std::lock_guard<std::mutex> lock(gClassLock);
    // A window that went with its parent could not unregister the class
    // while it still existed; it is gone now.
    if (gWindowClassUsers == 0) UnregisterClassA(kWindowClassName, mWin->module);
}

bool IEditorWin::IsWindowOpen() const { return mWin->window != nullptr; }

double IEditorWin::SystemScale() {
    return static_cast<double>(WindowDpi(mWin->window ? mWin->window : mWin->parent)) / kBaseDpi;
}

double IEditorWin::SetScale(double scale) {
    const double before = Scale();
    const double taken = IEditor::SetScale(scale);
    if (taken != before && mWin->window) mWin->Resize(mWin->window);
    return taken;
}

void IEditorWin::Window::Resize(HWND hwnd) {
    SetWindowPos(hwnd, nullptr, 0, 0, editor.ScaledWidth(), editor.ScaledHeight(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void IEditorWin::Window::DensityChanged(HWND hwnd) {
    if (!editor.FollowsSystemScale()) return;
    const double before = editor.Scale();
    if (editor.SetScale(static_cast<double>(WindowDpi(hwnd)) / kBaseDpi) == before) return;
    if (IEditorDelegate* plugin = editor.Plugin()) plugin->OnEditorScaleChanged();
}
void* IEditorWin::EditorWindow() const { return mWin->window; }

void* IEditorWin::OpenEditorWindow(void* parent) {
    HWND parentWindow = static_cast<HWND>(parent);
    // A child window needs a live parent; anything else is a failed open.
    if (!parentWindow || !IsWindow(parentWindow)) return nullptr;
    mWin->parent = parentWindow;
    int x = 0;
    int y = 0;
    int w = ScaledWidth();
    int h = ScaledHeight();
    if (mWin->window) {
        RECT parentRect{};
        RECT oldRect{};
        GetWindowRect(parentWindow, &parentRect);
        GetWindowRect(mWin->window, &oldRect);
        CloseEditorWindow();
        x = oldRect.left - parentRect.left;
        y = oldRect.top - parentRect.top;
        w = oldRect.right - oldRect.left;
        h = oldRect.bottom - oldRect.top;
    }

    {
        std::lock_guard<std::mutex> lock(gClassLock);
        if (gWindowClassUsers == 0) {
            // A class left behind by an earlier load of the library (its
            // windows went with their parent, so no close unregistered it)
            // may name a window procedure that is no longer mapped.
            UnregisterClassA(kWindowClassName, mWin->module);
            WNDCLASSA wc{};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = Window::Procedure;
            wc.hInstance = mWin->module;
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.lpszClassName = kWindowClassName;
            // A failed registration shows as a failed creation below.
            RegisterClassA(&wc);
        }
        ++gWindowClassUsers;
    }

    HWND window = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h, parentWindow,
                                  nullptr, mWin->module, mWin.get());
    if (!window) {
        std::lock_guard<std::mutex> lock(gClassLock);
        if (--gWindowClassUsers == 0) UnregisterClassA(kWindowClassName, mWin->module);
        return nullptr;
    }
    mWin->window = window;
    // The first paint of the new window draws every control.
    for (int i = 0; i < ControlCount(); ++i) Control(i)->MarkDirty(false);
    return mWin->window;
}

void IEditorWin::CloseEditorWindow() {
    HWND window = mWin->window;
    if (!window) return;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        // WM_DESTROY releases the window (and the timer goes with it).
        DestroyWindow(window);
    } else {
        // Only the window's thread may destroy it (effClose from another
        // thread than effEditOpen's, with no effEditClose before). Ask that
        // thread to close it, which also waits for a paint in progress there.
        DWORD_PTR unused = 0;
        SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kCrossThreadCloseMs, &unused);
        if (mWin->window == window) {
            // That thread is not answering: cut the window loose from this
            // editor, which is about to go, and leave the close queued.
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }
    mWin->Release(window);
    std::lock_guard<std::mutex> lock(gClassLock);
    if (gWindowClassUsers == 0) UnregisterClassA(kWindowClassName, mWin->module);
}

void IEditorWin::Window::Release(HWND hwnd) {
    if (!hwnd || window != hwnd) return;
    window = nullptr;
    std::lock_guard<std::mutex> lock(gClassLock);
    if (gWindowClassUsers > 0) --gWindowClassUsers;
}

bool IEditorWin::PresentRegion(const IRectangle& rect) {
    HWND window = mWin->window;
    if (!window) return true;
    SysBitmap* surface = Surface();
    HDC source = static_cast<HDC>(surface ? surface->DeviceContext() : nullptr);
    PAINTSTRUCT ps{};
    HDC target = mWin->inPaint ? BeginPaint(window, &ps) : GetDC(window);
    bool copied = false;
    const IRectangle r = ScaleRectOut(rect, Scale());
    if (target && source) {
        copied = BitBlt(target, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left, r.top, SRCCOPY) != 0;
    }
    if (mWin->inPaint) {
        EndPaint(window, &ps);
    } else if (target) {
        ReleaseDC(window, target);
    }
    return copied;
}

std::unique_ptr<IRasterBitmap> IEditorWin::LoadBitmapResource(int resourceId, const char* fileName) {
    if (!mWin->hasModuleResources) return NewPictureFromResource(mResources, resourceId, fileName);
    if (!HasPngResourceName(fileName)) return nullptr;
    // An integer resource name is a 16-bit id: a larger value would be read
    // as a pointer to a name.
    if (resourceId <= 0 || resourceId > 0xFFFF) return nullptr;
    const HINSTANCE module = mWin->module;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "PNG");
    if (!found) return nullptr;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = size >= 8 ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size > 0x7FFFFFFF) return nullptr;
    // Resource memory lives as long as the library, as the picture must.
    return std::make_unique<PngResourceBitmap>(static_cast<const std::uint8_t*>(data), static_cast<int>(size));
}

LRESULT CALLBACK IEditorWin::Window::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* win = static_cast<Window*>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(win));
        const int rate = win && win->editor.FrameRate() > 0 ? win->editor.FrameRate() : 25;
        SetTimer(hwnd, kRepaintTimer, static_cast<UINT>(1000 / rate), nullptr);
        SetFocus(hwnd);
        return 0;
    }
    auto* win = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_DESTROY && win) {
        // However the window goes (CloseEditorWindow, or with the host's
        // parent window), the editor forgets it exactly once.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        win->Release(hwnd);
        return 0;
    }
    // Messages sent while CreateWindowEx has not yet returned (the handle is
    // not stored) and those of a window the editor has let go get the
    // default handling.
    if (!win || win->window != hwnd) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return win->HandleMessage(hwnd, msg, wParam, lParam);
}
LRESULT IEditorWin::Window::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int x = SignedLow(lParam);
    const int y = SignedHigh(lParam);
    switch (msg) {
        case WM_SIZE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            return 0;
        case WM_PAINT: {
            RECT update{};
            if (GetUpdateRect(hwnd, &update, FALSE)) {
                inPaint = true;
                editor.PaintWindowRegion(IRectangle{update.left, update.top, update.right, update.bottom});
                inPaint = false;
            }
            return 0;
        }
        case WM_CLOSE:
            editor.CloseEditorWindow();
            return 0;
        case WM_KEYDOWN:
            return HandleKeyDown(hwnd, wParam, lParam);
        case WM_KEYUP:
            return ForwardToRoot(hwnd, msg, wParam, lParam);
        case WM_TIMER:
            if (wParam == kRepaintTimer) RepaintDirtyControls(hwnd);
            return 0;
        case WM_MOUSEMOVE:
            if ((wParam & (MK_LBUTTON | MK_RBUTTON)) && GetCapture() == hwnd)
                editor.PointerDrag(ToEditor(x), ToEditor(y), ModsFromMouseMessage(wParam));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            SetFocus(hwnd);
            SetCapture(hwnd);
            editor.PointerDown(ToEditor(x), ToEditor(y), ModsFromMouseMessage(wParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            // The middle release ends the capture and the edit gesture its
            // press opened, like the other two.
            ReleaseCapture();
            editor.PointerUp(ToEditor(x), ToEditor(y), ModsFromMouseMessage(wParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            if (editor.PointerDoubleClick(ToEditor(x), ToEditor(y), ModsFromMouseMessage(wParam))) SetCapture(hwnd);
            return 0;
        case kDpiChanged:
        case kDpiChangedAfterParent:
            DensityChanged(hwnd);
            return 0;
        case WM_MOUSEWHEEL:
            HandleWheel(hwnd, wParam, lParam);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

LRESULT IEditorWin::Window::HandleKeyDown(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const int key = EditorKeyFromVirtualKey(static_cast<int>(wParam));
    if (key < 0) return ForwardToRoot(hwnd, WM_KEYDOWN, wParam, lParam);
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(hwnd, &pointer);
    if (editor.KeyPress(key, ToEditor(pointer.x), ToEditor(pointer.y))) return 0;
    return ForwardToRoot(hwnd, WM_KEYDOWN, wParam, lParam);
}

void IEditorWin::Window::HandleWheel(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    // Integer division truncates toward zero: less than a notch is 0 steps,
    // still delivered.
    const int steps = static_cast<short>(HIWORD(wParam)) / kWheelNotch;
    // The wheel reports the pointer in screen coordinates.
    RECT window{};
    GetWindowRect(hwnd, &window);
    const int x = ToEditor(SignedLow(lParam) - window.left);
    const int y = ToEditor(SignedHigh(lParam) - window.top);
    editor.PointerWheel(x, y, ModsFromMouseMessage(LOWORD(wParam)), steps);
}

void IEditorWin::Window::RepaintDirtyControls(HWND hwnd) {
    IRectangle dirty;
    if (!editor.CollectDirtyRegion(&dirty)) return;
    const IRectangle region = ScaleRectOut(dirty, editor.Scale());
    const RECT r{region.left, region.top, region.right, region.bottom};
    InvalidateRect(hwnd, &r, FALSE);
    // Paints at once: WM_PAINT for the invalidated area is sent, not queued.
    UpdateWindow(hwnd);
}
