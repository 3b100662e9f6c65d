// Writes the LV2 bundle's manifest.ttl and plug-in description into a
// folder, from a plug-in instance: run by the build after the binaries.
// Usage: velmor-make-ttl FOLDER DSP_BINARY UI_BINARY
#include <cstdio>
#include <fstream>
#include <string>

#include "core/plugin_factory.h"
#include "lv2/ttl_writer.h"

namespace {

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "velmor-make-ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmor-make-ttl FOLDER DSP_BINARY UI_BINARY\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::unique_ptr<IEffectBase> plugin = CreatePluginInstance();
    if (!plugin) return 1;
    const bool ok = Write(folder + "/velmor.ttl", Lv2PluginTtl(*plugin)) &&
                    Write(folder + "/manifest.ttl", Lv2ManifestTtl(argv[2], argv[3], "velmor.ttl"));
    return ok ? 0 : 1;
}
