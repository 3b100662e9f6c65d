// The editor's X11 window: a connection of its own to the host's display, a
// child window of the host's frame sized to the editor, and the translation
// of that window's events into the editor's routing operations. X11 has no
// timer and no double click: the editor's Idle drives both (IEditorX11).
//
// Threads: everything runs on the thread that opened the window (the
// host's GUI thread, in effEditOpen, effEditIdle and effEditClose).
#pragma once

#include <X11/Xlib.h>

#include <memory>

#include "editor/x11/x11_image.h"
#include "editor/x11/x11_input.h"
#include "raster/rectangle.h"

class IEditor;

// The scale the X server's Xft.dpi resource asks for (96 dots per inch is
// 1), on the display displayName names (null: DISPLAY); 1 where it names
// none or there is no display. The server's state, not configuration.
double ServerScale(const char* displayName);

class X11EditorWindow {
public:
    // Connects to displayName (null: the DISPLAY of the environment) and
    // makes a w x h child of parent at (x, y), for an editor drawn at scale
    // (its events are handed on in the editor's own coordinates). Null when
    // there is no display or parent is not a window on it.
    static std::unique_ptr<X11EditorWindow> Open(const char* displayName, unsigned long parent, int x, int y, int w,
                                                 int h, double scale = 1.0);
    // Destroys the window unless the host already destroyed it with its
    // frame, and closes the connection.
    ~X11EditorWindow();
    X11EditorWindow(const X11EditorWindow&) = delete;
    X11EditorWindow& operator=(const X11EditorWindow&) = delete;

    unsigned long Id() const { return mWindow; }
    // The connection's socket: readable when events arrive.
    int ConnectionFd() const { return ConnectionNumber(mDisplay); }
    // False once the window went with the host's frame.
    bool Alive() const { return mWindow != 0; }
    // The window's top-left corner on the screen and its size.
    bool ScreenRect(int* x, int* y, int* w, int* h) const;
    // Where the screen point (x, y) lies in window, on this connection.
    bool ToWindow(unsigned long window, int x, int y, int* wx, int* wy) const;

    // Handles every event that has arrived, calling into editor.
    void DispatchEvents(IEditor& editor);
    // Copies rect of the editor's surface to the window.
    void Present(const IRasterBitmap& surface, const IRectangle& rect);
    bool UsesSharedMemory() const { return mPresenter && mPresenter->UsesSharedMemory(); }

private:
    X11EditorWindow(Display* display, int width, int height, double scale);
    int ToEditor(int windowPixel) const;
    bool Create(unsigned long parent, int x, int y);
    void HandleEvent(IEditor& editor, XEvent& event);
    void ButtonPressed(IEditor& editor, const XButtonEvent& event);
    void ButtonReleased(IEditor& editor, const XButtonEvent& event);
    void KeyPressed(IEditor& editor, XKeyEvent& event);
    void ForwardKey(XKeyEvent event);
    void Grab(Time time);
    void Ungrab(Time time);

    Display* mDisplay;
    int mWidth;
    int mHeight;
    double mScale;
    Window mWindow = 0;
    Window mTopLevel = 0;  // the host's window that takes keys the editor leaves
    GC mGc = nullptr;
    std::unique_ptr<X11Presenter> mPresenter;
    DoubleClickDetector mClicks;
    bool mGrabbed = false;
    IRectangle mExposed;  // exposed area not painted yet
};
