#include "core/preset_slot.h"

#include <cstring>

void IPresetSlot::SetName(const char* text) {
    if (!text) text = "";
    const std::size_t length = strnlen(text, kPresetNameSize - 1);
    std::memmove(name, text, length);  // text may be this slot's own name
    name[length] = '\0';
}
