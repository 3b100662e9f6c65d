#include "tests/x11/x11_test_host.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <string>
#include <thread>

X11TestDisplay::X11TestDisplay() : mDisplay(XOpenDisplay(nullptr)) {
    if (!mDisplay) return;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    mXTest = XTestQueryExtension(mDisplay, &event, &error, &major, &minor) != 0;
}

X11TestDisplay::~X11TestDisplay() {
    if (mDisplay) XCloseDisplay(mDisplay);
}

void X11TestDisplay::MoveTo(int x, int y) {
    XTestFakeMotionEvent(mDisplay, DefaultScreen(mDisplay), x, y, CurrentTime);
    XSync(mDisplay, False);
}

void X11TestDisplay::Button(unsigned int button, bool down) {
    XTestFakeButtonEvent(mDisplay, button, down ? True : False, CurrentTime);
    XSync(mDisplay, False);
}

void X11TestDisplay::Click(unsigned int button, int x, int y) {
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
}

void X11TestDisplay::Key(unsigned long keysym, bool down) {
    const KeyCode code = XKeysymToKeycode(mDisplay, keysym);
    XTestFakeKeyEvent(mDisplay, code, down ? True : False, CurrentTime);
    XSync(mDisplay, False);
}

HostFrame::HostFrame(Display* display, int x, int y, int width, int height) : mDisplay(display) {
    const int screen = DefaultScreen(display);
    mWindow =
        XCreateSimpleWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, BlackPixel(display, screen), BlackPixel(display, screen));
    XSelectInput(display, mWindow, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display, mWindow);
    XEvent event;
    do {
        XWindowEvent(display, mWindow, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
}

HostFrame::~HostFrame() { Destroy(); }

void HostFrame::Destroy() {
    if (!mWindow) return;
    XDestroyWindow(mDisplay, mWindow);
    XSync(mDisplay, False);
    mWindow = 0;
}

std::vector<Window> HostFrame::Children() const {
    std::vector<Window> result;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (mWindow && XQueryTree(mDisplay, mWindow, &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children) XFree(children);
    }
    return result;
}

void HostFrame::Drain() {
    XEvent event;
    while (mWindow &&
           XCheckWindowEvent(mDisplay, mWindow, KeyPressMask | KeyReleaseMask | StructureNotifyMask, &event)) {
        if (event.type == KeyPress || event.type == KeyRelease) mKeys.push_back(event.xkey);
    }
}

void IdleFor(std::initializer_list<AEffect*> effects, std::initializer_list<HostFrame*> frames, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        for (AEffect* e : effects) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        for (HostFrame* f : frames) f->Drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
}

std::vector<std::uint32_t> WindowPixels(Display* display, Window window, int width, int height) {
    std::vector<std::uint32_t> pixels;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff));
    XDestroyImage(image);
    return pixels;
}

ServerDpi::ServerDpi(Display* display, int dpi) : mDisplay(display) {
    const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    XSync(display, False);
}

ServerDpi::~ServerDpi() {
    // The private test server holds no resources of its own.
    XDeleteProperty(mDisplay, DefaultRootWindow(mDisplay), XA_RESOURCE_MANAGER);
    XSync(mDisplay, False);
}
