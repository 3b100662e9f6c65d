// Whole reads and writes through a host's IBStream, which may move fewer
// bytes per call than asked (and some hosts report success on a short
// read). Used by the adapter's state calls and by the host side; the thread
// of the caller.
#pragma once

#include "vst3/vst3_abi.h"

// Reads until bytes arrived, the stream gives nothing more or fails;
// answers how many arrived (0 for a null stream or buffer).
int ReadStream(vst3::IBStream* stream, void* buffer, int bytes);
// Writes all bytes; false when the stream is null or stops taking them.
bool WriteStream(vst3::IBStream* stream, const void* buffer, int bytes);
