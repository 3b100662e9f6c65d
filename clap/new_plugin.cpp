#include "clap/new_plugin.h"

#include <new>

#include "clap/effect_clap.h"
#include "clap/velmor_clap_ids.h"
#include "core/creation_lock.h"

std::string ClapVersionText(int packed) {
    const auto v = static_cast<unsigned>(packed);
    return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

std::unique_ptr<ClapDescriptor> ClapDescriptor::Make(PluginFactory factory) {
    if (!factory) return nullptr;
    LockGuard guard(CreationLock());
    try {
        std::unique_ptr<IEffectBase> plugin = factory();
        if (!plugin) return nullptr;
        std::unique_ptr<ClapDescriptor> d(new ClapDescriptor());
        d->mName = plugin->EffectName();
        d->mVendor = plugin->MakerName();
        d->mVersion = ClapVersionText(plugin->Version());
        clap_plugin_descriptor& c = d->mDescriptor;
        c.clap_version = kClapVersion;
        c.id = kVelmorClapId;
        c.name = d->mName.c_str();
        c.vendor = d->mVendor.c_str();
        c.url = "";
        c.manual_url = "";
        c.support_url = "";
        c.version = d->mVersion.c_str();
        c.description = kVelmorClapDescription;
        c.features = kVelmorClapFeatures;
        return d;
    } catch (...) {
        return nullptr;
    }
}

const clap_plugin* NewClapPlugin(const clap_host* host, const clap_plugin_descriptor* descriptor,
                                 PluginFactory factory) {
    if (!factory || !descriptor) return nullptr;
    LockGuard guard(CreationLock());
    try {
        std::unique_ptr<IEffectBase> plugin = factory();
        if (!plugin) return nullptr;
        // Slots the plug-in left unset get the default state under "Empty",
        // as in every format.
        plugin->FillUnsetPresets("Empty", plugin->PresetCount());
        return (new IEffectCLAP(host, descriptor, std::move(plugin)))->Record();
    } catch (...) {
        return nullptr;
    }
}
