// Audio channel bookkeeping of the base.
#pragma once

#include "core/heap_buffer.h"

// A legal input/output pairing parsed from the channel I/O string.
struct IChannelConfig {
    int nIn = 0;
    int nOut = 0;
};

// One input or output channel. `entry` is this channel's slot in the base's
// data-pointer array handed to ProcessBlock; an unconnected channel's entry
// points at its own scratch buffer so ProcessBlock always gets valid memory.
struct IChannel {
    bool connected = false;
    double** entry = nullptr;
    IHeapBuffer scratch{4096};    // blockSize doubles
    IHeapBuffer label{128};       // growable text; empty = no label set
    float* hostOutput = nullptr;  // outputs only: host buffer of the current block

    double* Scratch() { return reinterpret_cast<double*>(scratch.Data()); }
    int ScratchFrames() const { return scratch.Length() / static_cast<int>(sizeof(double)); }
};
