#include "lv2/effect_lv2.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <limits>
#include <utility>

#include "lv2/velmor_lv2_ids.h"

namespace {

// Scratch buffers beyond this are not worth their memory: a longer block is
// run in slices, with the same result.
constexpr int kLargestScratchBlock = 16384;

// Far more than any state of this plug-in (an 8-byte header and a double
// per parameter): a property larger than this is not one of ours.
constexpr std::size_t kLargestState = 1 << 20;

}  // namespace

IEffectLV2::IEffectLV2(std::unique_ptr<IEffectBase> plugin, int channels, double rate, const LV2_URID_Map* map,
                       int maxBlock)
    : mExporter(std::move(plugin), this) {
    IEffectBase& p = Plugin();
    mLayout.params = p.ParamCount();
    mLayout.channels = channels == 1 ? 1 : 2;
    if (map && map->map) {
        mChunkKey = map->map(map->handle, kVelmorLv2ChunkUri);
        mChunkType = map->map(map->handle, LV2_ATOM__Chunk);
    }
    mControls.assign(static_cast<std::size_t>(mLayout.params), nullptr);
    mApplied.assign(static_cast<std::size_t>(mLayout.params), std::numeric_limits<float>::quiet_NaN());
    mMeters.assign(kVelmorLv2MeterCount, nullptr);
    mIns.assign(static_cast<std::size_t>(mLayout.channels), nullptr);
    mOuts.assign(static_cast<std::size_t>(mLayout.channels), nullptr);
    mLatency.store(p.Latency());
    {
        LockGuard guard(p.Lock());
        p.OnHostKnown();
        // As a VST 2.4 host's effOpen does: every coefficient from its value.
        for (int i = 0; i < p.ParamCount(); ++i) p.OnParameterChange(i);
    }
    mExporter.SetSampleRate(rate);
    mExporter.SetBlockSize(maxBlock > 0 && maxBlock < kLargestScratchBlock ? maxBlock
                                                                           : PluginExporter::kInitialBlockSize);
}

void IEffectLV2::Connect(std::uint32_t port, void* data) {
    if (mLayout.IsParam(port)) {
        mControls[port] = static_cast<const float*>(data);
    } else if (port == mLayout.Latency()) {
        mLatencyPort = static_cast<float*>(data);
    } else if (port == mLayout.PowerLamp()) {
        mPowerLamp = static_cast<float*>(data);
    } else if (port >= mLayout.Meter(0) && port < mLayout.PowerLamp()) {
        mMeters[port - mLayout.Meter(0)] = static_cast<float*>(data);
    } else if (port >= mLayout.AudioIn(0) && port < mLayout.AudioOut(0)) {
        mIns[port - mLayout.AudioIn(0)] = static_cast<const float*>(data);
    } else if (port >= mLayout.AudioOut(0) && port < mLayout.Count()) {
        mOuts[port - mLayout.AudioOut(0)] = static_cast<float*>(data);
    }
}

void IEffectLV2::Activate() { mExporter.SetActive(true); }

void IEffectLV2::Deactivate() { mExporter.SetActive(false); }

void IEffectLV2::Run(std::uint32_t frames) {
    IEffectBase& p = Plugin();
    LockGuard guard(p.Lock());
    for (int i = 0; i < mLayout.params; ++i) {
        const float* port = mControls[static_cast<std::size_t>(i)];
        if (!port) continue;
        const float v = *port;
        // Only a change is applied: a state restored since keeps its values
        // until the host moves the port.
        if (std::isnan(v) || v == mApplied[static_cast<std::size_t>(i)]) continue;
        mApplied[static_cast<std::size_t>(i)] = v;
        ApplyLv2PortValue(p, i, Lv2PortValue(v));
    }
    if (frames > 0) {
        const int n = frames > static_cast<std::uint32_t>(std::numeric_limits<int>::max())
                          ? std::numeric_limits<int>::max()
                          : static_cast<int>(frames);
        mExporter.Process(mIns.data(), mLayout.channels, mOuts.data(), mLayout.channels, 0, n);
    }
    if (mLatencyPort) *mLatencyPort = static_cast<float>(mLatency.load());
    IMeterReading reading;
    for (int m = 0; m < kVelmorLv2MeterCount; ++m) {
        if (!p.ReadMeter(m, &reading)) reading = IMeterReading{};
        if (mMeters[static_cast<std::size_t>(m)])
            *mMeters[static_cast<std::size_t>(m)] = static_cast<float>(reading.level);
    }
    if (mPowerLamp) {
        if (!p.ReadMeter(0, &reading)) reading = IMeterReading{};
        *mPowerLamp = reading.powerOn ? 1.0f : 0.0f;
    }
}

LV2_State_Status IEffectLV2::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!store || !mChunkKey || !mChunkType) return LV2_STATE_ERR_NO_FEATURE;
    if (!mExporter.SaveProgram(mStateChunk)) return LV2_STATE_ERR_UNKNOWN;
    return store(handle, mChunkKey, mStateChunk.Data(), static_cast<std::size_t>(mStateChunk.Length()), mChunkType,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IEffectLV2::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!retrieve || !mChunkKey || !mChunkType) return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(handle, mChunkKey, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != mChunkType) return LV2_STATE_ERR_BAD_TYPE;
    if (size == 0 || size > kLargestState) return LV2_STATE_ERR_UNKNOWN;
    mStateChunk.Clear();
    if (!mStateChunk.AppendRaw(data, static_cast<int>(size))) return LV2_STATE_ERR_UNKNOWN;
    // A chunk that does not hold a whole state changes nothing.
    return mExporter.LoadChunk(mStateChunk, false) ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}
