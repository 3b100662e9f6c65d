#include "vst3/host/vst3_module.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "base/utf8_path.h"
#else
#include <dlfcn.h>
#endif

namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr const char* kArchFolder = "x86_64-win";
constexpr const char* kBinaryExtension = ".vst3";
#else
constexpr const char* kArchFolder = "x86_64-linux";
constexpr const char* kBinaryExtension = ".so";
#endif

fs::path PathOf(const std::string& utf8) {
#if defined(__cpp_char8_t)
    return fs::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
#else
    return fs::u8path(utf8);
#endif
}

std::string Utf8Of(const fs::path& path) {
#if defined(__cpp_char8_t)
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
#else
    return path.u8string();
#endif
}

void* LoadBinary(const std::string& path, std::string& why) {
#if defined(_WIN32)
    std::wstring wide;
    HMODULE module = WidenUtf8(path.c_str(), wide) ? LoadLibraryW(wide.c_str()) : nullptr;
    if (!module) module = LoadLibraryA(path.c_str());
    if (!module) why = "Windows error " + std::to_string(GetLastError());
    return module;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* text = dlerror();
        why = text ? text : "cannot be loaded";
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

}  // namespace

VST3Module::~VST3Module() { Close(); }

std::string VST3Module::BinaryPath(const std::string& path) {
    std::error_code ec;
    const fs::path bundle = PathOf(path);
    if (!fs::is_directory(bundle, ec)) return path;
    // The binary's name is the bundle's, whatever the bundle is called.
    fs::path stem = bundle.filename().empty() ? bundle.parent_path().stem() : bundle.stem();
    return Utf8Of(bundle / "Contents" / kArchFolder / (stem.native() + PathOf(kBinaryExtension).native()));
}

bool VST3Module::Open(const std::string& path, std::string& error) {
    Close();
    const std::string binary = BinaryPath(path);
    std::error_code ec;
    if (binary != path && !fs::exists(PathOf(binary), ec)) {
        error = "cannot load " + path + ": the bundle has no binary for this platform (" + binary + ")";
        return false;
    }
    std::string why;
    void* module = LoadBinary(binary, why);
    if (!module) {
        error = "cannot load " + path + ": " + why;
        return false;
    }
    using FactoryProc = vst3::IPluginFactory* (*)();
    auto getFactory = reinterpret_cast<FactoryProc>(Symbol(module, "GetPluginFactory"));
    if (!getFactory) {
        Unload(module);
        error = path + " is not a VST 3 plug-in (no GetPluginFactory)";
        return false;
    }
#if defined(_WIN32)
    // Optional on Windows.
    auto entry = reinterpret_cast<bool (*)()>(Symbol(module, "InitDll"));
    auto exitProc = reinterpret_cast<bool (*)()>(Symbol(module, "ExitDll"));
    const bool entered = !entry || entry();
#else
    // Required on Linux, as every host there requires them.
    auto entry = reinterpret_cast<bool (*)(void*)>(Symbol(module, "ModuleEntry"));
    auto exitProc = reinterpret_cast<bool (*)()>(Symbol(module, "ModuleExit"));
    if (!entry || !exitProc) {
        Unload(module);
        error = path + " is not a valid VST 3 module (no ModuleEntry or ModuleExit)";
        return false;
    }
    const bool entered = entry(module);
#endif
    if (!entered) {
        Unload(module);
        error = path + ": the module's entry function failed";
        return false;
    }
    vst3::IPluginFactory* factory = getFactory();
    if (!factory) {
        if (exitProc) exitProc();
        Unload(module);
        error = path + ": the module gives no plug-in factory";
        return false;
    }
    mHandle = module;
    mFactory = factory;
    mExit = exitProc;
    return true;
}

vst3::IPluginFactory2* VST3Module::Factory2() const {
    void* obj = nullptr;
    if (!mFactory || mFactory->queryInterface(vst3::kIPluginFactory2Iid.Data(), &obj) != vst3::kResultOk)
        return nullptr;
    return static_cast<vst3::IPluginFactory2*>(obj);
}

vst3::IPluginFactory3* VST3Module::Factory3() const {
    void* obj = nullptr;
    if (!mFactory || mFactory->queryInterface(vst3::kIPluginFactory3Iid.Data(), &obj) != vst3::kResultOk)
        return nullptr;
    return static_cast<vst3::IPluginFactory3*>(obj);
}

void VST3Module::Close() {
    if (!mHandle) return;
    if (mFactory) mFactory->release();
    mFactory = nullptr;
    if (mExit) mExit();
    mExit = nullptr;
    Unload(mHandle);
    mHandle = nullptr;
}
