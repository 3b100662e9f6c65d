// X11 input as the editor sees it: keysyms as virtual-key codes, modifier
// flags from an event's state, and double clicks recognised by time and
// distance. No display needed.
#include <gtest/gtest.h>

#include <vector>

#include "editor/editor_keys.h"
#include "editor/x11/x11_input.h"

// Xlib's names last: they would rename names in the headers above.
#include <X11/X.h>
#include <X11/keysym.h>

namespace {

TEST(X11Input, KeysymsBecomeTheKeysOfTheKeyTable) {
    struct Row {
        unsigned long keysym;
        int virtualKey;
        int editorKey;
    } rows[] = {
        {XK_space, 0x20, kKeySpace},   {XK_Up, 0x26, kKeyUp},       {XK_Down, 0x28, kKeyDown},
        {XK_Left, 0x25, kKeyLeft},     {XK_Right, 0x27, kKeyRight}, {XK_0, '0', kKeyDigit0},
        {XK_9, '9', kKeyDigit0 + 9},   {XK_A, 'A', kKeyLetterA},    {XK_z, 'Z', kKeyLetterA + 25},
        {XK_Z, 'Z', kKeyLetterA + 25}, {XK_KP_0, 0x60, -1},         {XK_F5, -1, -1},
        {XK_Return, -1, -1},           {XK_exclam, -1, -1},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(VirtualKeyFromKeysym(r.keysym), r.virtualKey) << std::hex << r.keysym;
        const int vk = VirtualKeyFromKeysym(r.keysym);
        EXPECT_EQ(vk < 0 ? -1 : EditorKeyFromVirtualKey(vk), r.editorKey) << std::hex << r.keysym;
    }
}

TEST(X11Input, ModifiersCountTheEventsOwnButton) {
    struct Row {
        unsigned int state;
        int pressed, released;
        bool left, right, shift, control, alt;
    } rows[] = {
        {0, 1, 0, true, false, false, false, false},
        {Button1Mask, 0, 1, false, false, false, false, false},
        {Button1Mask, 3, 0, true, true, false, false, false},
        {Button1Mask | Button3Mask, 0, 3, true, false, false, false, false},
        {Button2Mask, 2, 0, false, false, false, false, false},
        {ShiftMask | ControlMask | Mod1Mask, 0, 0, false, false, true, true, true},
        {LockMask | Mod2Mask, 0, 0, false, false, false, false, false},
    };
    for (const Row& r : rows) {
        const IMouseMods m = ModsFromState(r.state, r.pressed, r.released);
        EXPECT_EQ(m.left, r.left) << r.state;
        EXPECT_EQ(m.right, r.right) << r.state;
        EXPECT_EQ(m.shift, r.shift) << r.state;
        EXPECT_EQ(m.control, r.control) << r.state;
        EXPECT_EQ(m.alt, r.alt) << r.state;
    }
}

TEST(X11Input, DoubleClicksByTimeAndDistance) {
    struct Press {
        int button;
        unsigned long time;
        int x, y;
        bool doubleClick;
    };
    struct Case {
        const char* what;
        std::vector<Press> presses;
    } cases[] = {
        {"fast, same place", {{1, 1000, 10, 10, false}, {1, 1200, 10, 10, true}}},
        {"at the time limit", {{1, 1000, 10, 10, false}, {1, 1500, 10, 10, true}}},
        {"too slow", {{1, 1000, 10, 10, false}, {1, 1501, 10, 10, false}}},
        {"within 2 px", {{1, 1000, 10, 10, false}, {1, 1100, 12, 8, true}}},
        {"3 px away", {{1, 1000, 10, 10, false}, {1, 1100, 13, 10, false}}},
        {"third press starts over",
         {{1, 1000, 10, 10, false}, {1, 1100, 10, 10, true}, {1, 1200, 10, 10, false}, {1, 1300, 10, 10, true}}},
        {"right button never", {{3, 1000, 10, 10, false}, {3, 1100, 10, 10, false}}},
        {"a right press between", {{1, 1000, 10, 10, false}, {3, 1050, 10, 10, false}, {1, 1100, 10, 10, false}}},
        {"server time wraps", {{1, 0xffffff00UL, 10, 10, false}, {1, 0x40, 10, 10, true}}},
    };
    for (const Case& c : cases) {
        DoubleClickDetector detector;
        for (std::size_t i = 0; i < c.presses.size(); ++i) {
            const Press& p = c.presses[i];
            EXPECT_EQ(detector.Press(p.button, p.time, p.x, p.y), p.doubleClick) << c.what << ", press " << i;
        }
    }
}

}  // namespace
