// Velmor's identity in VST 3: the class id hosts store in projects and
// caches. Chosen once and never changed (plugin/velmor_vst3_ids.cpp).
#pragma once

#include "vst3/vst3_abi.h"

extern const vst3::Uid kVelmorVst3ClassId;
// The class's sub-categories as hosts sort plug-ins by them.
extern const char kVelmorVst3SubCategories[];
