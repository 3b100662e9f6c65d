// One stored preset: a name and the state SaveState wrote for it.
#pragma once

#include "core/state_chunk.h"

constexpr int kPresetNameSize = 256;  // 255 characters and a terminator

struct IPresetSlot {
    bool initialised = false;
    char name[kPresetNameSize] = "empty";
    IStateChunk chunk;

    // Bounded copy: longer names (from a host or a bank) are cut at 255.
    void SetName(const char* text);
};
