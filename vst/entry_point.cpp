// The library's exported entry points. Built into the plug-in module only
// (never into a test executable: the second export is named "main").
//
// Linux exports exactly these two names through exports.map; Windows through
// velmor.def, which aliases main to VSTPluginMain.
#include "core/plugin_factory.h"
#include "vst/new_effect.h"

#if defined(_WIN32)
#define VELMOR_EXPORT
#else
#define VELMOR_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VELMOR_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
    return NewEffect(hostCallback, CreatePluginInstance);
}

#if !defined(_WIN32)
// Older hosts look for "main". A C++ function of that name must return int,
// so the export is another function carrying the symbol name "main".
extern "C" VELMOR_EXPORT AEffect* VSTCALLBACK VelmorLegacyMain(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* VSTCALLBACK VelmorLegacyMain(audioMasterCallback hostCallback) {
    return VSTPluginMain(hostCallback);
}
#endif
