// The loaded library's own module handle (HINSTANCE on Windows), kept from
// the load notification so the editor can find the library's resources and
// own its window class: the platform seam between a format's entry point
// (whose DllMain sets it) and the Win32 window layer. Null until the library
// has been loaded as a DLL (and always elsewhere).
#pragma once

void SetModuleInstance(void* instance);
void* ModuleInstance();
