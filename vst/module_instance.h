// The loaded library's own module handle (HINSTANCE on Windows), kept from
// the load notification so the editor can find the library's resources.
// Null until the library has been loaded as a DLL (and always elsewhere).
#pragma once

void SetModuleInstance(void* instance);
void* ModuleInstance();
