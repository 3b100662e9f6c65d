// Host side of the VST 2.4 binary interface: loads a plug-in library and
// creates effects through its entry point. Used by velmor-host and by the
// integration tests, which drive plug-ins exactly as a host does.
#pragma once

#include <string>

#include "vst/vst2_abi.h"

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads the library (UTF-8 path) and finds "VSTPluginMain", else "main".
    // On failure returns false and sets a one-line error.
    bool Open(const std::string& path, std::string& error);
    // Calls the entry point; null with an error when it returns no record or
    // the record's magic is wrong.
    AEffect* CreateEffect(audioMasterCallback host, std::string& error) const;
    // Unloads the library; every effect it created must be closed first.
    void Close();
    bool IsOpen() const { return mHandle != nullptr; }

private:
    using EntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);
    void* mHandle = nullptr;
    EntryProc mEntry = nullptr;
};
