// State and preset-slot operations of the base. Everything that stores or
// restores a state goes through SaveState/LoadState, so a plug-in that
// overrides those two stores more than its parameters everywhere.
#include <cstdio>
#include <cstring>

#include "core/effect_base.h"
#include "core/trace.h"

bool IEffectBase::SerializeParams(IStateChunk& chunk) {
    LockGuard guard(mLock);
    Trace("IEffectBase::SerializeParams", "%d", ParamCount());
    for (int i = 0; i < ParamCount(); ++i) {
        const double value = GetParam(i)->Value();
        if (!chunk.AppendValue(value) || chunk.Length() == 0) return false;
    }
    return true;
}

int IEffectBase::UnserializeParams(const IStateChunk& chunk, int position) {
    LockGuard guard(mLock);
    Trace("IEffectBase::UnserializeParams", "%d", position);
    for (int i = 0; i < ParamCount() && position >= 0; ++i) {
        // A value the data does not hold loads as 0, clamped to the range.
        double value = 0.0;
        position = chunk.ReadValue(value, position);
        GetParam(i)->SetClamped(value);
    }
    for (int i = 0; i < ParamCount(); ++i) OnParameterChange(i);
    return position;
}

void IEffectBase::ModifyCurrentPreset(const char* newName) {
    LockGuard guard(mLock);
    Trace("IEffectBase::ModifyCurrentPreset", "%s", newName ? newName : "");
    IPresetSlot* slot = GetPreset(mCurrentPreset);
    if (!slot) return;
    slot->chunk.Clear();
    SaveState(slot->chunk);
    if (newName && newName[0]) slot->SetName(newName);
}

bool IEffectBase::RecallPreset(int index) {
    LockGuard guard(mLock);
    Trace("IEffectBase::RecallPreset", "%d", index);
    IPresetSlot* slot = GetPreset(index);
    if (!slot) return false;
    bool ok;
    if (slot->initialised) {
        ok = LoadState(slot->chunk, 0) > 0;
    } else {
        slot->initialised = true;
        int userPresets = 0;
        for (int i = 0; i < PresetCount(); ++i) {
            if (std::strstr(GetPreset(i)->name, "user preset")) ++userPresets;
        }
        char name[kPresetNameSize];
        std::snprintf(name, sizeof name, "%s %d", "user preset", userPresets + 1);
        slot->SetName(name);
        // A slot a bank marked unset may still hold its old bytes; the
        // captured state must be the only thing in it.
        slot->chunk.Clear();
        ok = SaveState(slot->chunk);
    }
    if (ok) {
        mCurrentPreset = index;
        OnPresetsChanged();
        RefreshEditorControls();
    }
    return ok;
}

const char* IEffectBase::PresetNameAt(int index) const {
    const IPresetSlot* slot = GetPreset(index);
    return slot ? slot->name : "";
}

void IEffectBase::FillUnsetPresets(const char* name, int count) {
    LockGuard guard(mLock);
    Trace("IEffectBase::FillUnsetPresets", "%s %d", name ? name : "", count);
    for (int n = 0; n < count; ++n) {
        IPresetSlot* slot = nullptr;
        for (int i = 0; i < PresetCount() && !slot; ++i) {
            if (!GetPreset(i)->initialised) slot = GetPreset(i);
        }
        if (!slot) return;  // every slot is set: the remaining rounds change nothing
        slot->initialised = true;
        slot->SetName(name ? name : "Empty");
        slot->chunk.Clear();
        SaveState(slot->chunk);
    }
}

bool IEffectBase::SerializePresets(IStateChunk& chunk) {
    LockGuard guard(mLock);
    Trace("IEffectBase::SerializePresets", "%d", PresetCount());
    for (int i = 0; i < PresetCount(); ++i) {
        const IPresetSlot* slot = GetPreset(i);
        bool ok = chunk.AppendText(slot->name) && chunk.AppendFlag(slot->initialised);
        if (ok && slot->initialised) ok = chunk.AppendBytes(slot->chunk);
        if (!ok || chunk.Length() == 0) return false;
    }
    return true;
}

int IEffectBase::UnserializePresets(const IStateChunk& chunk, int position) {
    LockGuard guard(mLock);
    Trace("IEffectBase::UnserializePresets", "%d", position);
    for (int i = 0; i < PresetCount() && position >= 0; ++i) {
        IPresetSlot* slot = GetPreset(i);
        // A stored length of 0, or a name cut off by the end of the data,
        // gives the empty name.
        std::string name;
        position = chunk.ReadText(name, position);
        slot->SetName(name.c_str());
        position = chunk.ReadFlag(slot->initialised, position);
        if (position < 0) break;
        if (slot->initialised) {
            position = LoadState(chunk, position);
            if (position > 0) {
                // Keep the slot's state in this plug-in's own form.
                slot->chunk.Clear();
                SaveState(slot->chunk);
            }
        }
    }
    RecallPreset(mCurrentPreset);
    return position;
}
