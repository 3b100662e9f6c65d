// The editor in an X11 window (Linux). Hosts pass the X11 window id of their
// frame to effEditOpen and call effEditIdle from their GUI thread 15 to 60
// times a second; the window lives on a connection of its own, and Idle
// handles its events and runs the repaint timer by the monotonic clock, so
// the plug-in needs no thread. Nothing outside editor/x11 sees an X11 type.
//
// Threads: OpenEditorWindow, CloseEditorWindow and Idle on the host's GUI
// thread (the one that opened the window); the rest as IEditor says.
#pragma once

#include <chrono>
#include <memory>

#include "editor/editor.h"
#include "editor/resource_source.h"

class X11EditorWindow;

class IEditorX11 : public IEditor {
public:
    IEditorX11(IEditorDelegate* plugin, int width, int height, int frameRate, ResourceFinder resources);
    // Closes the window if the host has not.
    ~IEditorX11() override;

    bool HasWindowSystem() const override { return true; }
    // The X server's Xft.dpi, read from the window's connection when it is
    // open, otherwise from a short one of its own.
    double SystemScale() override;
    // A new scale while the window is open makes it again at the new size,
    // in the same parent.
    double SetScale(double scale) override;
    // effEditIdle: the window's events, then the repaint timer's tick when
    // one is due (every trunc(1000 / frame rate) ms on average).
    void Idle() override;

    bool PresentRegion(const IRectangle& rect) override;
    const char* GraphicsApiName() const override { return "X11"; }
    // parent is the host's X11 window id. A second open replaces the
    // window, keeping its size and its screen position measured from the
    // new parent. The whole editor is painted at once.
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    void* EditorWindow() const override;
    int WindowEventFd() const override;
    std::unique_ptr<IRasterBitmap> LoadBitmapResource(int resourceId, const char* fileName) override;

    // Whether frames go through MIT-SHM (for tests and the figures).
    bool UsesSharedMemory() const;

private:
    std::unique_ptr<X11EditorWindow> mWindow;
    ResourceFinder mResources;
    unsigned long mParent = 0;  // the host's frame the window is a child of
    std::chrono::steady_clock::time_point mNextTick;
};
