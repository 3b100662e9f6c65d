// A VST 2.4 effect of the plug-in linked into this process, made exactly as
// a host's call of VSTPluginMain makes it: for tools, benchmarks and tests
// that drive the record and also look at the plug-in behind it.
#pragma once

#include "core/plugin_factory.h"
#include "vst/effect_vst.h"
#include "vst/new_effect.h"

class InProcessEffect {
public:
    explicit InProcessEffect(audioMasterCallback hostCallback)
        : mRecord(NewEffect(hostCallback, CreatePluginInstance)) {}
    // Closes the effect unless effClose did already (Close).
    ~InProcessEffect() { Close(); }
    InProcessEffect(const InProcessEffect&) = delete;
    InProcessEffect& operator=(const InProcessEffect&) = delete;

    // Null when the plug-in could not be made.
    AEffect* Record() const { return mRecord; }
    IEffectVST& Adapter() const { return *IEffectVST::FromRecord(mRecord); }
    IEffectBase& Plugin() const { return Adapter().Plugin(); }
    // The plug-in as its own class.
    template <typename T>
    T& As() const {
        return static_cast<T&>(Plugin());
    }
    void Close() {
        if (mRecord) mRecord->dispatcher(mRecord, effClose, 0, 0, nullptr, 0.0f);
        mRecord = nullptr;
    }

private:
    AEffect* mRecord;
};
