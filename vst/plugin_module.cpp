#include "vst/plugin_module.h"

#include "base/utf8_path.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
// UTF-8 names go through the wide call; one that is not valid UTF-8, or
// does not load that way, is tried as a system-code-page name.
HMODULE LoadUtf8(const std::string& path) {
    std::wstring wide;
    if (WidenUtf8(path.c_str(), wide)) {
        if (HMODULE m = LoadLibraryW(wide.c_str())) return m;
    }
    return LoadLibraryA(path.c_str());
}
#endif

}  // namespace

PluginModule::~PluginModule() { Close(); }

bool PluginModule::Open(const std::string& path, std::string& error) {
    Close();
#if defined(_WIN32)
    HMODULE module = LoadUtf8(path);
    if (!module) {
        error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto entry = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    if (!entry) entry = reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
    if (!entry) {
        FreeLibrary(module);
        error = path + " is not a VST 2.4 plug-in (no VSTPluginMain or main entry point)";
        return false;
    }
    mHandle = module;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        error = "cannot load " + path + (why ? std::string(": ") + why : std::string());
        return false;
    }
    auto entry = reinterpret_cast<EntryProc>(dlsym(module, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<EntryProc>(dlsym(module, "main"));
    if (!entry) {
        dlclose(module);
        error = path + " is not a VST 2.4 plug-in (no VSTPluginMain or main entry point)";
        return false;
    }
    mHandle = module;
#endif
    mEntry = entry;
    return true;
}

AEffect* PluginModule::CreateEffect(audioMasterCallback host, std::string& error) const {
    if (!mEntry) {
        error = "no plug-in library loaded";
        return nullptr;
    }
    AEffect* effect = mEntry(host);
    if (!effect) {
        error = "the plug-in's entry point returned no effect";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = "not a VST 2.4 plug-in (wrong magic in the effect record)";
        return nullptr;
    }
    return effect;
}

void PluginModule::Close() {
    if (!mHandle) return;
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(mHandle));
#else
    dlclose(mHandle);
#endif
    mHandle = nullptr;
    mEntry = nullptr;
}
