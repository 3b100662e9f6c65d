// The seam between the VST entry point and the plug-in it builds: the plug-in
// library defines it, the entry point calls it under the creation lock.
#pragma once

#include "vst/vst2_abi.h"

class IEffectVST;

// Constructs one plug-in instance for the host. May throw std::bad_alloc;
// the entry point turns that into "no effect".
IEffectVST* CreateEffectInstance(audioMasterCallback hostCallback);
