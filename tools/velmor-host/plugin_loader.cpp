#include "tools/velmor-host/plugin_loader.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/hosted_clap.h"
#if VELMOR_HOST_HAS_LV2
#include "tools/velmor-host/hosted_lv2.h"
#endif
#include "tools/velmor-host/hosted_vst2.h"
#include "tools/velmor-host/hosted_vst3.h"

#ifndef VELMOR_HOST_VERSION
#define VELMOR_HOST_VERSION 10100
#endif

const char kHostProductString[] = "velmor-host";
const char kHostVendorString[] = "Velmor";
const int kHostVendorVersion = VELMOR_HOST_VERSION;

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
#if defined(__cpp_char8_t)
    return fs::path(reinterpret_cast<const char8_t*>(utf8.c_str()));
#else
    return fs::u8path(utf8);
#endif
}

std::string LowerExtension(const std::string& location) {
    std::string extension = PathOf(location).extension().string();
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

bool IsUri(const std::string& location) {
    const std::size_t colon = location.find(':');
    // "C:\x" is a Windows path, "urn:..." and "http://..." are URIs.
    return colon != std::string::npos && colon > 1 && location.find_first_of("/\\") > colon;
}

using Loader = std::unique_ptr<PluginInstance> (*)(const PluginRequest&, double, int, std::string&);

std::unique_ptr<PluginInstance> LoadVst2(const PluginRequest& request, double sampleRate, int maxBlockSize,
                                         std::string& error) {
    if (!request.className.empty()) {
        error = "--class picks one plug-in of a bundle; " + request.location +
                " is a VST 2.4 library, which holds one (leave out --class)";
        return nullptr;
    }
    auto instance = std::make_unique<Vst2Instance>();
    if (!instance->Load(request.location, sampleRate, maxBlockSize, error)) return nullptr;
    return instance;
}

// The formats whose files or bundles may hold several plug-ins: --class
// names one (a CLAP descriptor id, a VST 3 class id, an LV2 URI); without it
// the file or bundle must hold one plug-in.
template <typename Instance>
std::unique_ptr<PluginInstance> LoadWithClass(const PluginRequest& request, double sampleRate, int maxBlockSize,
                                              std::string& error) {
    auto instance = std::make_unique<Instance>();
    if (!instance->Load(request.location, request.className, sampleRate, maxBlockSize, error)) return nullptr;
    return instance;
}
constexpr Loader LoadClap = LoadWithClass<HostedClap>;
constexpr Loader LoadVst3 = LoadWithClass<Vst3Instance>;

#if VELMOR_HOST_HAS_LV2
// A bundle folder, or a URI among every installed bundle.
constexpr Loader LoadLv2Bundle = LoadWithClass<HostedLv2>;

std::unique_ptr<PluginInstance> LoadLv2Uri(const PluginRequest& request, double sampleRate, int maxBlockSize,
                                           std::string& error) {
    if (!request.className.empty()) {
        error = "--class picks one plug-in of a bundle; " + request.location +
                " is an LV2 plug-in's URI, which names one (leave out --class)";
        return nullptr;
    }
    auto instance = std::make_unique<HostedLv2>();
    if (!instance->Load("", request.location, sampleRate, maxBlockSize, error)) return nullptr;
    return instance;
}
#else
constexpr std::nullptr_t LoadLv2Bundle = nullptr;
constexpr std::nullptr_t LoadLv2Uri = nullptr;
#endif

enum class Kind { kFile, kFolder, kUri };

// The formats, and what each claims: a kind of location and (for files and
// folders) an extension; an empty extension claims every file not claimed
// by another entry. A format without a loader is recognised and refused
// with a message naming it.
struct FormatEntry {
    const char* name;
    Kind kind;
    const char* extension;
    Loader load;
};

const FormatEntry kFormats[] = {
    {"VST 3", Kind::kFolder, ".vst3", LoadVst3}, {"VST 3", Kind::kFile, ".vst3", LoadVst3},
    {"CLAP", Kind::kFile, ".clap", LoadClap},    {"LV2", Kind::kFolder, ".lv2", LoadLv2Bundle},
    {"LV2", Kind::kUri, "", LoadLv2Uri},         {"VST 2.4", Kind::kFile, "", LoadVst2},
};

}  // namespace

std::unique_ptr<PluginInstance> LoadPluginInstance(const PluginRequest& request, double sampleRate, int maxBlockSize,
                                                   std::string& error) {
    const std::string& location = request.location;
    if (location.empty()) {
        error = "no plug-in given (--plugin names an empty path)";
        return nullptr;
    }
    Kind kind = Kind::kFile;
    std::error_code ec;
    if (IsUri(location)) {
        kind = Kind::kUri;
    } else if (fs::is_directory(PathOf(location), ec)) {
        kind = Kind::kFolder;
    } else if (!fs::exists(PathOf(location), ec)) {
        error = "cannot load " + location + ": " + ErrnoText(ENOENT);
        return nullptr;
    }
    const std::string extension = LowerExtension(location);
    for (const FormatEntry& format : kFormats) {
        if (format.kind != kind || (*format.extension && extension != format.extension)) continue;
        if (!format.load) {
            error = "cannot load " + location + ": " + format.name + " plug-ins are not hosted by this velmor-host";
            return nullptr;
        }
        return format.load(request, sampleRate, maxBlockSize, error);
    }
    error = kind == Kind::kFolder ? "cannot load " + location + ": it is a folder, not a plug-in bundle"
                                  : "cannot load " + location + ": not a plug-in this velmor-host can host";
    return nullptr;
}
