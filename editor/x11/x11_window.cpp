#include "editor/x11/x11_window.h"

#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

// Xlib names its key event type KeyPress, as a macro, which would rename
// the editor's KeyPress: the event type is kept under another name.
constexpr int kKeyPressEvent = KeyPress;
#undef KeyPress

#include "editor/editor.h"
#include "editor/editor_keys.h"
#include "editor/editor_scale.h"
#include "editor/rect_rules.h"
#include "editor/x11/x11_errors.h"

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask |
                            KeyReleaseMask | StructureNotifyMask;
constexpr unsigned int kGrabMask = ButtonPressMask | ButtonReleaseMask | ButtonMotionMask;
constexpr unsigned int kWheelUp = 4;
constexpr unsigned int kWheelDown = 5;

// Xft.dpi from the resources the server holds (the RESOURCE_MANAGER
// property, as xrdb loads it), as a scale.
double XftScale(Display* display) {
    const char* resources = XResourceManagerString(display);
    if (!resources) return 1.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database) return 1.0;
    double scale = 1.0;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        const double dpi = std::strtod(value.addr, nullptr);
        if (dpi > 0.0) scale = dpi / 96.0;
    }
    XrmDestroyDatabase(database);
    return scale;
}

}  // namespace

double ServerScale(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display) return 1.0;
    const double scale = XftScale(display);
    XCloseDisplay(display);
    return scale;
}

std::unique_ptr<X11EditorWindow> X11EditorWindow::Open(const char* displayName, unsigned long parent, int x, int y,
                                                       int w, int h, double scale) {
    if (!parent || w <= 0 || h <= 0) return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (!display) return nullptr;
    std::unique_ptr<X11EditorWindow> window(new X11EditorWindow(display, w, h, scale));
    if (!window->Create(parent, x, y)) return nullptr;
    return window;
}

X11EditorWindow::X11EditorWindow(Display* display, int width, int height, double scale)
    : mDisplay(display), mWidth(width), mHeight(height), mScale(scale) {
    RegisterEditorDisplay(display);
}

int X11EditorWindow::ToEditor(int windowPixel) const { return UnscaleCoordinate(windowPixel, mScale); }

bool X11EditorWindow::Create(unsigned long parent, int x, int y) {
    XErrorScope scope(mDisplay);
    XWindowAttributes host{};
    if (!XGetWindowAttributes(mDisplay, parent, &host) || scope.Failed()) return false;
    // The screen's default visual, not the parent's: a host frame with an
    // alpha channel would otherwise take the surface's alpha bytes as
    // transparency.
    const int screen = XScreenNumberOfScreen(host.screen);
    Visual* visual = DefaultVisual(mDisplay, screen);
    const int depth = DefaultDepth(mDisplay, screen);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // the editor paints every pixel
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormap(mDisplay, screen);
    attributes.event_mask = kEventMask;
    mWindow =
        XCreateWindow(mDisplay, parent, x, y, static_cast<unsigned>(mWidth), static_cast<unsigned>(mHeight), 0, depth,
                      InputOutput, visual, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    if (!mWindow || scope.Failed()) {
        mWindow = 0;
        return false;
    }
    mGc = XCreateGC(mDisplay, mWindow, 0, nullptr);
    XMapWindow(mDisplay, mWindow);

    // Keys the editor does not take go to the host's top-level window: the
    // ancestor just below the root.
    Window current = parent;
    for (;;) {
        Window root = 0;
        Window up = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(mDisplay, current, &root, &up, &children, &count)) break;
        if (children) XFree(children);
        if (!up || up == root) break;
        current = up;
    }
    mTopLevel = current;
    if (scope.Failed()) return false;
    mPresenter = std::make_unique<X11Presenter>(mDisplay, visual, depth, mWidth, mHeight);
    return true;
}

X11EditorWindow::~X11EditorWindow() {
    mPresenter.reset();
    if (mGrabbed) XUngrabPointer(mDisplay, CurrentTime);
    // A window the host destroyed with its frame answers BadWindow, which the
    // error handler counts and forgets.
    if (mWindow) XDestroyWindow(mDisplay, mWindow);
    if (mGc) XFreeGC(mDisplay, mGc);
    XSync(mDisplay, True);
    UnregisterEditorDisplay(mDisplay);
    XCloseDisplay(mDisplay);
}

bool X11EditorWindow::ScreenRect(int* x, int* y, int* w, int* h) const {
    if (!mWindow) return false;
    XErrorScope scope(mDisplay);
    XWindowAttributes a{};
    Window child = 0;
    if (!XGetWindowAttributes(mDisplay, mWindow, &a)) return false;
    if (!XTranslateCoordinates(mDisplay, mWindow, a.root, 0, 0, x, y, &child)) return false;
    *w = a.width;
    *h = a.height;
    return !scope.Failed();
}

bool X11EditorWindow::ToWindow(unsigned long window, int x, int y, int* wx, int* wy) const {
    XErrorScope scope(mDisplay);
    XWindowAttributes a{};
    Window child = 0;
    if (!XGetWindowAttributes(mDisplay, window, &a)) return false;
    if (!XTranslateCoordinates(mDisplay, a.root, window, x, y, wx, wy, &child)) return false;
    return !scope.Failed();
}

void X11EditorWindow::DispatchEvents(IEditor& editor) {
    while (mWindow && XPending(mDisplay) > 0) {
        XEvent event;
        XNextEvent(mDisplay, &event);
        HandleEvent(editor, event);
    }
}

void X11EditorWindow::HandleEvent(IEditor& editor, XEvent& event) {
    if (event.xany.window != mWindow) return;
    switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            mExposed = BoundingUnion(mExposed, IRectangle{e.x, e.y, e.x + e.width, e.y + e.height});
            if (e.count > 0) break;  // more of the same exposure follows
            const IRectangle area = Intersection(mExposed, IRectangle{0, 0, mWidth, mHeight});
            mExposed = IRectangle{};
            if (!IsEmpty(area)) editor.PaintWindowRegion(area);
            break;
        }
        case ButtonPress:
            ButtonPressed(editor, event.xbutton);
            break;
        case ButtonRelease:
            ButtonReleased(editor, event.xbutton);
            break;
        case MotionNotify:
            // Drags only: a move without a button does nothing.
            if (mGrabbed && (event.xmotion.state & (Button1Mask | Button3Mask)))
                editor.PointerDrag(ToEditor(event.xmotion.x), ToEditor(event.xmotion.y),
                                   ModsFromState(event.xmotion.state));
            break;
        case kKeyPressEvent:
            KeyPressed(editor, event.xkey);
            break;
        case KeyRelease:
            ForwardKey(event.xkey);
            break;
        case DestroyNotify:
            // The host destroyed its frame, and this window with it.
            if (event.xdestroywindow.window == mWindow) {
                mWindow = 0;
                mGrabbed = false;
            }
            break;
        default:
            break;
    }
}

void X11EditorWindow::ButtonPressed(IEditor& editor, const XButtonEvent& e) {
    if (e.button == kWheelUp || e.button == kWheelDown) {
        editor.PointerWheel(ToEditor(e.x), ToEditor(e.y), ModsFromState(e.state), e.button == kWheelUp ? 1 : -1);
        return;
    }
    // Horizontal wheels (6, 7) and the extra buttons are not the editor's.
    if (e.button != Button1 && e.button != Button2 && e.button != Button3) return;
    const int button = static_cast<int>(e.button);
    const IMouseMods mods = ModsFromState(e.state, button);
    // Double clicks are judged by the screen's distances, as elsewhere on it.
    if (mClicks.Press(button, e.time, e.x, e.y)) {
        if (editor.PointerDoubleClick(ToEditor(e.x), ToEditor(e.y), mods)) Grab(e.time);
        return;
    }
    XSetInputFocus(mDisplay, mWindow, RevertToParent, CurrentTime);
    Grab(e.time);
    editor.PointerDown(ToEditor(e.x), ToEditor(e.y), mods);
}

void X11EditorWindow::ButtonReleased(IEditor& editor, const XButtonEvent& e) {
    // The middle button's release ends the press its press began, as the
    // left and right ones do: otherwise its edit gesture would stay open.
    if (e.button != Button1 && e.button != Button2 && e.button != Button3) return;
    Ungrab(e.time);
    editor.PointerUp(ToEditor(e.x), ToEditor(e.y), ModsFromState(e.state, 0, static_cast<int>(e.button)));
}

void X11EditorWindow::KeyPressed(IEditor& editor, XKeyEvent& e) {
    const int vk = VirtualKeyFromKeysym(XLookupKeysym(&e, 0));
    const int key = vk < 0 ? -1 : EditorKeyFromVirtualKey(vk);
    if (key >= 0 && editor.KeyPress(key, ToEditor(e.x), ToEditor(e.y))) return;
    ForwardKey(e);
}

void X11EditorWindow::ForwardKey(XKeyEvent event) {
    if (!mTopLevel) return;
    event.window = mTopLevel;
    event.subwindow = None;
    XEvent sent{};
    sent.xkey = event;
    XSendEvent(mDisplay, mTopLevel, False, event.type == kKeyPressEvent ? KeyPressMask : KeyReleaseMask, &sent);
    XFlush(mDisplay);
}

void X11EditorWindow::Grab(Time time) {
    // The press already holds X11's implicit grab; the explicit one keeps
    // the drag with the editor until the release, wherever the pointer goes.
    mGrabbed = XGrabPointer(mDisplay, mWindow, False, kGrabMask, GrabModeAsync, GrabModeAsync, None, None, time) ==
               GrabSuccess;
}

void X11EditorWindow::Ungrab(Time time) {
    if (!mGrabbed) return;
    XUngrabPointer(mDisplay, time);
    XFlush(mDisplay);
    mGrabbed = false;
}

void X11EditorWindow::Present(const IRasterBitmap& surface, const IRectangle& rect) {
    if (!mWindow || !mPresenter) return;
    const IRectangle area =
        Intersection(rect, IRectangle{0, 0, std::min(mWidth, surface.Width()), std::min(mHeight, surface.Height())});
    if (IsEmpty(area)) return;
    mPresenter->Put(mWindow, mGc, surface, area);
}
