// Host side of the VST 3 binary interface: loads a module (a .vst3 bundle,
// or the binary inside one) the way hosts do it: the binary at
// Contents/<arch>/<bundle name>.so or .vst3, its entry function, then
// GetPluginFactory. Used by velmor-host and by the tests, which drive
// plug-ins exactly as a host does. Main thread.
#pragma once

#include <string>

#include "vst3/vst3_abi.h"

class VST3Module {
public:
    VST3Module() = default;
    ~VST3Module();
    VST3Module(const VST3Module&) = delete;
    VST3Module& operator=(const VST3Module&) = delete;

    // The binary a host loads for path (UTF-8): inside a bundle folder the
    // one for this platform, else path itself (a binary, or a Windows
    // module of the single-file layout).
    static std::string BinaryPath(const std::string& path);

    // Loads the binary, calls its entry function and takes its factory.
    // False with a one-line error naming path.
    bool Open(const std::string& path, std::string& error);
    // The factory (held by this object until Close), or null.
    vst3::IPluginFactory* Factory() const { return mFactory; }
    // The factory as a later version, with a reference the caller releases;
    // null where the module has none.
    vst3::IPluginFactory2* Factory2() const;
    vst3::IPluginFactory3* Factory3() const;
    // Releases the factory, calls the exit function and unloads. Every
    // object the module made must be released first.
    void Close();
    bool IsOpen() const { return mHandle != nullptr; }

private:
    void* mHandle = nullptr;
    vst3::IPluginFactory* mFactory = nullptr;
    bool (*mExit)() = nullptr;
};
