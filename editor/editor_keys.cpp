#include "editor/editor_keys.h"

namespace {

// Windows virtual-key codes of the keys with a fixed EditorKey.
constexpr int kVkSpace = 0x20;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;

}  // namespace

int EditorKeyFromVirtualKey(int vk) {
    switch (vk) {
        case kVkSpace:
            return kKeySpace;
        case kVkUp:
            return kKeyUp;
        case kVkDown:
            return kKeyDown;
        case kVkLeft:
            return kKeyLeft;
        case kVkRight:
            return kKeyRight;
        default:
            break;
    }
    if (vk >= '0' && vk <= '9') return kKeyDigit0 + (vk - '0');
    if (vk >= 'A' && vk <= 'Z') return kKeyLetterA + (vk - 'A');
    // Lower-case letters, as window systems that report characters send
    // them, are the same keys.
    if (vk >= 97 && vk <= 122) return kKeyLetterA + (vk - 97);
    return -1;
}
