// What the plug-in base needs of its editor. The editor framework implements
// it; the base owns the editor through this interface and never knows the
// window system.
#pragma once

class IEditorLink {
public:
    virtual ~IEditorLink() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Moves every control bound to index (UI or host thread, under the
    // plug-in lock or not: implementations store into atomics).
    virtual void ShowParameterInEditor(int index, double value, bool isNormalized) = 0;
    // AttachEditor: set the value of every control bound to index (and the
    // first auxiliary binding bound to it) from the plug-in.
    virtual void SetControlsFromPlugin(int index, double normalized) = 0;
    // AttachEditor, once: make the drawing surfaces.
    virtual void CreateSurfaces() = 0;

    // True when this build has a window system the editor can open in. Hosts
    // are offered the editor (effFlagsHasEditor, effEditGetRect) only then.
    virtual bool HasWindowSystem() const = 0;
    // Opens the window inside the host's parent (HWND or X11 window id);
    // false when no window can be made.
    virtual bool OpenWindow(void* parent) = 0;
    virtual void CloseWindow() = 0;
    // effEditIdle, on the host's UI thread, without the plug-in lock (as a
    // window's own timer runs): painting must not hold up the audio thread.
    // Window systems with a timer of their own ignore it; one without (X11
    // in a host's window) repaints from it.
    virtual void Idle() {}
};
