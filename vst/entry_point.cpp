// The library's exported entry points. Built into the plug-in module only
// (never into a test executable: the second export is named "main").
//
// Linux exports exactly these two names through exports.map; Windows through
// velmor.def, which aliases main to VSTPluginMain.
#include <new>

#include "vst/create_effect.h"
#include "vst/creation_lock.h"
#include "vst/effect_vst.h"
#include "vst/module_instance.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define VELMOR_EXPORT
#else
#define VELMOR_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VELMOR_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
    LockGuard guard(CreationLock());
    IEffectVST* plugin = nullptr;
    try {
        plugin = CreateEffectInstance(hostCallback);
        if (!plugin) return nullptr;
        // Slots the plug-in left unset get the default state under "Empty".
        plugin->FillUnsetPresets("Empty", plugin->PresetCount());
    } catch (...) {
        // Construction failed (out of memory): the host gets no effect.
        delete plugin;
        return nullptr;
    }
    AEffect* record = plugin->Record();
    if (record->numPrograms <= 0) record->numPrograms = 1;
    return record;
}

#if !defined(_WIN32)
// Older hosts look for "main". A C++ function of that name must return int,
// so the export is another function carrying the symbol name "main".
extern "C" VELMOR_EXPORT AEffect* VSTCALLBACK VelmorLegacyMain(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* VSTCALLBACK VelmorLegacyMain(audioMasterCallback hostCallback) {
    return VSTPluginMain(hostCallback);
}
#else
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) SetModuleInstance(instance);
    return TRUE;
}
#endif
