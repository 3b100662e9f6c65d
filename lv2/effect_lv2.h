// IEffectLV2: the LV2 adapter's audio side. It wraps one plug-in (through
// the format-neutral PluginExporter) behind the ports of lv2/port_layout.h:
// control inputs are the parameters' plain values, read at the start of
// every run and applied where they changed; the latency, the meters and the
// power lamp are written back at its end. State is the program chunk's
// bytes, the same in every format. The editor is a binary of its own
// (lv2/editor_lv2.h): nothing here opens a window.
//
// Threads, as LV2 names them: instantiation (activate, deactivate, restore)
// never runs beside run; run holds the plug-in lock for its whole body, and
// save, which may run beside it, takes the lock for the chunk only.
#pragma once

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/exporter.h"
#include "core/plugin_host.h"
#include "lv2/port_layout.h"

class IEffectLV2 final : public IPluginHost {
public:
    // channels is 1 or 2; map may be null (state then fails); maxBlock is
    // the host's largest block, or 0 when it says nothing.
    IEffectLV2(std::unique_ptr<IEffectBase> plugin, int channels, double rate, const LV2_URID_Map* map, int maxBlock);
    IEffectLV2(const IEffectLV2&) = delete;
    IEffectLV2& operator=(const IEffectLV2&) = delete;

    IEffectBase& Plugin() const { return *mExporter.Plugin(); }
    const Lv2PortLayout& Layout() const { return mLayout; }

    void Connect(std::uint32_t port, void* data);
    void Activate();
    void Deactivate();
    // Any block length, 0 included; missing audio buffers read silence and
    // are not written.
    void Run(std::uint32_t frames);

    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    // Refused whole (nothing changes) unless the property holds a whole
    // state of the chunk's type.
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    void LatencyChanged(int samples) override { mLatency.store(samples < 0 ? 0 : samples); }

private:
    Lv2PortLayout mLayout;
    LV2_URID mChunkKey = 0;
    LV2_URID mChunkType = 0;
    std::vector<const float*> mControls;  // parameter ports
    std::vector<float> mApplied;          // the port values last applied (NaN: none yet)
    float* mLatencyPort = nullptr;
    std::vector<float*> mMeters;
    float* mPowerLamp = nullptr;
    std::vector<const float*> mIns;
    std::vector<float*> mOuts;
    std::atomic<int> mLatency{0};
    IStateChunk mStateChunk;

    // Last: the plug-in goes first, while everything it may call still exists.
    PluginExporter mExporter;
};
