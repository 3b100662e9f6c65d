// What the plug-in base needs of its editor. The editor framework implements
// it; the base owns the editor through this interface and never knows the
// window system.
#pragma once

class IEditorLink {
public:
    virtual ~IEditorLink() = default;

    // The editor's own size: every layout and control rule works in it.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The size of its window at the current scale (the same at 1).
    virtual int ScaledWidth() const { return Width(); }
    virtual int ScaledHeight() const { return Height(); }
    // The scale it draws at from now on (snapped to the scales it has);
    // answers the scale taken. Editors without scales stay at 1.
    virtual double SetScale(double /*scale*/) { return 1.0; }
    virtual double Scale() const { return 1.0; }
    // What the window system says the scale should be where the host says
    // nothing (the screen's pixel density); 1 where it cannot tell.
    virtual double SystemScale() { return 1.0; }
    // Whether the window may follow the screen's density by itself while it
    // is open (a window moved to another monitor): where the host set no
    // scale of its own.
    virtual void SetFollowsSystemScale(bool /*follows*/) {}

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
    virtual bool IsWindowOpen() const { return false; }
    // effEditIdle, on the host's UI thread, without the plug-in lock (as a
    // window's own timer runs): painting must not hold up the audio thread.
    // Window systems with a timer of their own ignore it; one without (X11
    // in a host's window) repaints from it.
    virtual void Idle() {}
    // The file descriptor the open window's events arrive on (X11: the
    // editor's own connection), or -1. Hosts that run a main loop of their
    // own watch it and call Idle when it is readable.
    virtual int WindowEventFd() const { return -1; }
};
