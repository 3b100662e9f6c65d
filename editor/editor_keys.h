// The keys the editor offers its controls, as EditorKey codes, and the
// translation from Windows virtual-key codes (other window systems translate
// their keys into virtual-key codes first).
#pragma once

enum EditorKey {
    kKeySpace = 0,
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyDigit0 = 5,    // .. kKeyDigit0 + 9
    kKeyLetterA = 15,  // .. kKeyLetterA + 25
};

// The EditorKey for a virtual-key code, or -1 for a key the controls are not
// offered (it goes back to the host).
int EditorKeyFromVirtualKey(int virtualKey);
