#include "vst/new_effect.h"

#include <new>

#include "core/creation_lock.h"
#include "vst/effect_vst.h"

AEffect* NewEffect(audioMasterCallback hostCallback, PluginFactory factory) {
    if (!factory) return nullptr;
    LockGuard guard(CreationLock());
    IEffectVST* adapter = nullptr;
    try {
        std::unique_ptr<IEffectBase> plugin = factory();
        if (!plugin) return nullptr;
        // Slots the plug-in left unset get the default state under "Empty".
        plugin->FillUnsetPresets("Empty", plugin->PresetCount());
        adapter = new IEffectVST(hostCallback, std::move(plugin));
    } catch (...) {
        // Construction failed (out of memory): the host gets no effect.
        return nullptr;
    }
    AEffect* record = adapter->Record();
    if (record->numPrograms <= 0) record->numPrograms = 1;
    return record;
}
