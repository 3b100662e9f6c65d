// IEditorWin: the editor inside a Win32 child window of the host's window.
// It gives the platform-neutral editor a window, the 40 ms repaint timer, the
// copy of the drawing surface to the screen (one BitBlt from the surface's
// memory DC), the translation of mouse and key messages into the editor's
// routing, and the pictures stored as "PNG" resources of the library.
//
// Threads: OpenEditorWindow, CloseEditorWindow and the window procedure run
// on the host's UI thread that sent effEditOpen (the window's thread). The
// destructor closes a window still open; called on another thread it
// detaches the window and lets its own thread destroy it.
//
// Nothing outside editor/win sees a window handle: the rest of the editor
// speaks of void* windows.
#pragma once

#include <memory>

#include "editor/editor.h"
#include "editor/resource_source.h"

class IEditorWin : public IEditor {
public:
    // resources serves the pictures when the editor's code is not inside a
    // loaded library (a test executable linking the plug-in): there is then
    // no module of ours with resources to search.
    IEditorWin(IEditorDelegate* plugin, int width, int height, int frameRate, ResourceFinder resources);
    ~IEditorWin() override;

    bool HasWindowSystem() const override { return true; }
    // The window's DPI (per monitor where the system tells it, the
    // system's otherwise) over 96; before the window is open, the system's.
    double SystemScale() override;
    // A new scale while the window is open resizes it.
    double SetScale(double scale) override;
    // Inside WM_PAINT the copy goes through BeginPaint/EndPaint; a paint
    // outside it (PaintAll, RepaintDirty) with the window open copies through
    // the window's DC. Without a window there is nothing to copy to.
    bool PresentRegion(const IRectangle& rect) override;
    bool IsWindowOpen() const override;
    const char* GraphicsApiName() const override { return "Windows GDI"; }
    // parent is the host's HWND. Opening again while open replaces the
    // window, keeping its size and its offset from the parent. Null when
    // the window cannot be made (no parent, or creation failed).
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    void* EditorWindow() const override;
    std::unique_ptr<IRasterBitmap> LoadBitmapResource(int resourceId, const char* fileName) override;

private:
    // The Win32 side: the module, the window and its procedure, the message
    // handling (editor_win.cpp only).
    struct Window;
    std::unique_ptr<Window> mWin;
    ResourceFinder mResources;
};
