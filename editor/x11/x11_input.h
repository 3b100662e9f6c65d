// The parts of X11 input handling that are plain arithmetic: keysyms as
// Windows virtual-key codes (the editor's key table takes those), the
// modifier flags of an event, and double clicks, which X11 does not have.
// No Xlib call happens here, so tests run these without a display.
#pragma once

#include <cstdint>

#include "core/host_types.h"

// The virtual-key code of a keysym, or -1 for a key the table has no code
// for (it goes back to the host).
int VirtualKeyFromKeysym(unsigned long keysym);

// state is the event's modifier and button state, which X11 reports as it
// was before the event; pressed and released name the button (1 left, 2
// middle, 3 right) that the event itself presses or releases, 0 for none,
// so a press reports its own button down and a release its button up.
IMouseMods ModsFromState(unsigned int state, int pressed = 0, int released = 0);

// Recognises a second left press as a double click: within kTimeMs of the
// first (server time, which wraps), within kDistance pixels of it in both
// directions. A third press starts over, as a single press does.
class DoubleClickDetector {
public:
    static constexpr unsigned long kTimeMs = 500;
    static constexpr int kDistance = 2;

    // Any button press; true when it is the second press of a left double
    // click.
    bool Press(int button, unsigned long timeMs, int x, int y);

private:
    bool mPending = false;  // the last press was a single left press
    unsigned long mTime = 0;
    int mX = 0;
    int mY = 0;
};
