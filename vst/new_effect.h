// Making one VST 2.4 effect for a host: what VSTPluginMain does, shared with
// the tools and tests that link the plug-in into their own process.
#pragma once

#include <memory>

#include "core/effect_base.h"
#include "vst/vst2_abi.h"

using PluginFactory = std::unique_ptr<IEffectBase> (*)();

// Under the process-wide creation lock: makes the plug-in with factory,
// fills the preset slots it left unset, wraps it in a new adapter and
// answers the adapter's record (effClose deletes it). Null when the plug-in
// cannot be made (out of memory).
AEffect* NewEffect(audioMasterCallback hostCallback, PluginFactory factory);
