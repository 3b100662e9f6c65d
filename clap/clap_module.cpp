#include "clap/clap_module.h"

#include <cstring>
#include <vector>

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

void* LoadLibraryUtf8(const std::string& path, std::string& why) {
#if defined(_WIN32)
    std::wstring wide;
    HMODULE module = nullptr;
    if (WidenUtf8(path.c_str(), wide)) module = LoadLibraryW(wide.c_str());
    if (!module) module = LoadLibraryA(path.c_str());
    if (!module) why = "Windows error " + std::to_string(GetLastError());
    return module;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* text = dlerror();
        why = text ? text : "unknown error";
        // The loader's text often starts with the path again.
        const std::string prefix = path + ": ";
        if (why.compare(0, prefix.size(), prefix) == 0) why.erase(0, prefix.size());
    }
    return module;
#endif
}

void* Symbol(void* module, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return dlsym(module, name);
#endif
}

void Unload(void* module) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

std::string VersionText(const clap_version_t& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
}

}  // namespace

ClapModule::~ClapModule() { Close(); }

bool ClapModule::Open(const std::string& path, std::string& error) {
    Close();
    std::string why;
    void* module = LoadLibraryUtf8(path, why);
    if (!module) {
        error = "cannot load " + path + ": " + why;
        return false;
    }
    const auto* entry = static_cast<const clap_plugin_entry*>(Symbol(module, "clap_entry"));
    if (!entry) {
        Unload(module);
        error = path + " is not a CLAP plug-in (no clap_entry)";
        return false;
    }
    if (!ClapVersionIsCompatible(entry->clap_version) || !entry->init || !entry->deinit || !entry->get_factory) {
        Unload(module);
        error = path + " is a CLAP plug-in of an incompatible version (" + VersionText(entry->clap_version) + ")";
        return false;
    }
    if (!entry->init(path.c_str())) {
        // A refused init must not be answered with deinit.
        Unload(module);
        error = path + ": the plug-in's entry refused to initialise";
        return false;
    }
    const auto* factory = static_cast<const clap_plugin_factory*>(entry->get_factory(kClapPluginFactoryId));
    if (!factory || !factory->get_plugin_count || !factory->get_plugin_descriptor || !factory->create_plugin) {
        entry->deinit();
        Unload(module);
        error = path + " has no CLAP plug-in factory";
        return false;
    }
    mHandle = module;
    mEntry = entry;
    mFactory = factory;
    mPath = path;
    return true;
}

void ClapModule::Close() {
    if (mEntry) mEntry->deinit();
    if (mHandle) Unload(mHandle);
    mHandle = nullptr;
    mEntry = nullptr;
    mFactory = nullptr;
}

const clap_plugin_descriptor* ClapModule::Find(const std::string& id, std::string& error) const {
    if (!mFactory) {
        error = "no CLAP file loaded";
        return nullptr;
    }
    std::vector<const clap_plugin_descriptor*> found;
    const std::uint32_t count = mFactory->get_plugin_count(mFactory);
    for (std::uint32_t i = 0; i < count && i < 4096; ++i) {
        const clap_plugin_descriptor* d = mFactory->get_plugin_descriptor(mFactory, i);
        if (!d || !d->id || !ClapVersionIsCompatible(d->clap_version)) continue;
        if (!id.empty() && id == d->id) return d;
        found.push_back(d);
    }
    std::string ids;
    for (const clap_plugin_descriptor* d : found) ids += (ids.empty() ? "" : ", ") + std::string(d->id);
    if (id.empty() && found.size() == 1) return found.front();
    if (found.empty()) {
        error = mPath + " holds no CLAP plug-in";
    } else if (id.empty()) {
        error = mPath + " holds " + std::to_string(found.size()) + " plug-ins; pick one with --class ID: " + ids;
    } else {
        error = mPath + " holds no plug-in " + id + " (it holds " + ids + ")";
    }
    return nullptr;
}
