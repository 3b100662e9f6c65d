// The DSP module's one export, lv2_descriptor: the stereo plug-in at index
// 0, the mono one at 1. Instances are made under the process-wide creation
// lock, as in every format; a plug-in that cannot be made is no instance.
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <new>

#include "core/creation_lock.h"
#include "core/plugin_factory.h"
#include "lv2/effect_lv2.h"
#include "lv2/velmor_lv2_ids.h"

namespace {

const void* Feature(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    }
    return nullptr;
}

// The host's largest block from its options, or 0.
int MaxBlock(const LV2_Feature* const* features, const LV2_URID_Map* map) {
    const auto* options = static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options));
    if (!options || !map || !map->map) return 0;
    const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, "http://lv2plug.in/ns/ext/atom#Int");
    for (const LV2_Options_Option* o = options; o->key; ++o) {
        if (o->key == maxKey && o->type == intType && o->size == sizeof(int) && o->value) {
            return *static_cast<const int*>(o->value);
        }
    }
    return 0;
}

IEffectLV2* Effect(LV2_Handle instance) { return static_cast<IEffectLV2*>(instance); }

template <int kChannels>
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    if (!(rate > 0.0)) return nullptr;
    const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map));
    LockGuard guard(CreationLock());
    try {
        std::unique_ptr<IEffectBase> plugin = CreatePluginInstance();
        if (!plugin) return nullptr;
        // Slots the plug-in left unset get the default state under "Empty",
        // as in every format.
        plugin->FillUnsetPresets("Empty", plugin->PresetCount());
        return new IEffectLV2(std::move(plugin), kChannels, rate, map, MaxBlock(features, map));
    } catch (...) {
        return nullptr;
    }
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data) { Effect(instance)->Connect(port, data); }
void Activate(LV2_Handle instance) { Effect(instance)->Activate(); }
void Run(LV2_Handle instance, uint32_t frames) { Effect(instance)->Run(frames); }
void Deactivate(LV2_Handle instance) { Effect(instance)->Deactivate(); }
void Cleanup(LV2_Handle instance) {
    LockGuard guard(CreationLock());
    delete Effect(instance);
}

LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*) {
    return Effect(instance)->Save(store, handle);
}

LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         const LV2_Feature* const*) {
    return Effect(instance)->Restore(retrieve, handle);
}

const LV2_State_Interface kState = {Save, Restore};

const void* ExtensionData(const char* uri) {
    return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? &kState : nullptr;
}

const LV2_Descriptor kDescriptors[] = {
    {kVelmorLv2StereoUri, Instantiate<2>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {kVelmorLv2MonoUri, Instantiate<1>, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < sizeof kDescriptors / sizeof kDescriptors[0] ? &kDescriptors[index] : nullptr;
}
