#include "editor/x11/x11_input.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace {

// Windows virtual-key codes of the keys the table knows by code.
constexpr int kVkSpace = 0x20;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkNumpad0 = 0x60;

}  // namespace

int VirtualKeyFromKeysym(unsigned long keysym) {
    switch (keysym) {
        case XK_space:
            return kVkSpace;
        case XK_Left:
            return kVkLeft;
        case XK_Up:
            return kVkUp;
        case XK_Right:
            return kVkRight;
        case XK_Down:
            return kVkDown;
        default:
            break;
    }
    if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>(keysym - XK_0) + '0';
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>(keysym - XK_A) + 'A';
    // Letters are one key whatever the case; Windows reports the capital.
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>(keysym - XK_a) + 'A';
    // The keypad's digits (with Num Lock) are keys of their own on Windows.
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int>(keysym - XK_KP_0) + kVkNumpad0;
    return -1;
}

IMouseMods ModsFromState(unsigned int state, int pressed, int released) {
    IMouseMods mods;
    mods.left = ((state & Button1Mask) != 0 || pressed == Button1) && released != Button1;
    mods.right = ((state & Button3Mask) != 0 || pressed == Button3) && released != Button3;
    mods.shift = (state & ShiftMask) != 0;
    mods.control = (state & ControlMask) != 0;
    mods.alt = (state & Mod1Mask) != 0;
    return mods;
}

bool DoubleClickDetector::Press(int button, unsigned long timeMs, int x, int y) {
    if (button != Button1) {
        mPending = false;
        return false;
    }
    // Server time is a 32-bit millisecond counter; the difference wraps.
    const unsigned long elapsed = (timeMs - mTime) & 0xffffffffUL;
    const bool second =
        mPending && elapsed <= kTimeMs && std::abs(x - mX) <= kDistance && std::abs(y - mY) <= kDistance;
    mPending = !second;
    mTime = timeMs;
    mX = x;
    mY = y;
    return second;
}
