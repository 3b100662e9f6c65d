// The load notification of every plug-in DLL we build (one per format): it
// keeps the module's handle for the window layer. Built into plug-in modules
// only, never into a library that executables link.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "base/module_instance.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) SetModuleInstance(instance);
    return TRUE;
}
