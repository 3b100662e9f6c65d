// The module's one factory (IPluginFactory3 and its earlier versions): the
// vendor, the one class (the effect, which is processor and controller in
// one object) and the instances. A static object that references never free;
// any host thread.
#pragma once

#include "vst3/vst3_abi.h"

// The factory GetPluginFactory hands out.
vst3::IPluginFactory3* VST3Factory();
