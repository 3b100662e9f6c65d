// X errors on the editor's own connections never end the host. Xlib's error
// handler is process-wide and the default one exits, so while any editor
// connection is open the editor's handler is installed: it counts errors on
// editor connections and hands errors on every other connection (the
// host's) to the handler it replaced. A host that destroys its frame before
// effEditClose makes the editor's window id dead, and the requests that
// follow on it fail with BadWindow: counted, never fatal.
//
// Threads: any thread; the registry has its own lock, never held across an
// Xlib call.
#pragma once

#include <X11/Xlib.h>

// Installs the handler with the first open connection.
void RegisterEditorDisplay(Display* display);
// Restores the replaced handler when the last one goes. Call before
// XCloseDisplay.
void UnregisterEditorDisplay(Display* display);

// Errors on display since construction. Failed() waits for the server to
// answer every request sent so far, so errors of those requests are counted.
class XErrorScope {
public:
    explicit XErrorScope(Display* display);
    bool Failed() const;

private:
    Display* mDisplay;
    unsigned long mStart;
};
