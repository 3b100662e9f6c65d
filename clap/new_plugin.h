// Making what the plug-in factory hands a host: the descriptor (from the
// names and version the plug-in itself states) and one instance behind its
// clap_plugin record. The module's entry point (entry_point.cpp) calls these;
// tools, tests and benchmarks that link the plug-in into their own process
// call them the same way.
#pragma once

#include <memory>
#include <string>

#include "clap/clap_abi.h"
#include "core/effect_base.h"

using PluginFactory = std::unique_ptr<IEffectBase> (*)();

// A descriptor and the texts it points at.
class ClapDescriptor {
public:
    // Under the process-wide creation lock: one instance from factory is
    // asked for its names and version, then deleted. Null when it cannot
    // be made (out of memory).
    static std::unique_ptr<ClapDescriptor> Make(PluginFactory factory);
    const clap_plugin_descriptor* Get() const { return &mDescriptor; }

private:
    ClapDescriptor() = default;
    std::string mName;
    std::string mVendor;
    std::string mVersion;
    clap_plugin_descriptor mDescriptor{};
};

// "1.1.0" for a version packed 0xMMMMmmbb.
std::string ClapVersionText(int packed);

// Under the creation lock: makes the plug-in with factory, fills the preset
// slots it left unset and wraps it in a new adapter for host, described by
// descriptor; the record, which the record's destroy deletes. Null when the
// plug-in cannot be made. host is not called here.
const clap_plugin* NewClapPlugin(const clap_host* host, const clap_plugin_descriptor* descriptor,
                                 PluginFactory factory);
