// The module's exported entry points. Built into the plug-in module only.
// Linux exports exactly GetPluginFactory, ModuleEntry and ModuleExit
// (exports.map); Windows GetPluginFactory, InitDll and ExitDll
// (velmor_vst3.def). The module needs no set-up of its own, so the entry
// and exit calls (which hosts may make more than once) only agree.
#include "vst3/factory.h"

#if defined(_WIN32)
#define VELMOR_EXPORT
#else
#define VELMOR_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VELMOR_EXPORT vst3::IPluginFactory* GetPluginFactory() { return VST3Factory(); }

#if defined(_WIN32)
extern "C" VELMOR_EXPORT bool InitDll() { return true; }
extern "C" VELMOR_EXPORT bool ExitDll() { return true; }
#else
extern "C" VELMOR_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) { return true; }
extern "C" VELMOR_EXPORT bool ModuleExit() { return true; }
#endif
