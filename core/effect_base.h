// The format-neutral core of a plug-in: parameters, preset slots and state,
// channel bookkeeping, latency, the attached editor, and the one recursive
// lock that serialises host calls and the audio thread. It includes no
// format header: a format adapter (vst/, and one folder per further format)
// wraps it, drives its hooks and supplies the host services through
// IPluginHost; the editor reaches it through IEditorDelegate.
//
// Threads: an adapter's control calls arrive on the host's UI thread
// (sometimes its audio thread), audio callbacks on the audio thread,
// parameter callbacks on any thread, editor gestures on the editor's thread.
// Every entry point that reaches plug-in state holds Lock() for its whole
// body; editor windows open, paint and close without it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/channel.h"
#include "core/editor_delegate.h"
#include "core/editor_link.h"
#include "core/heap_buffer.h"
#include "core/host_types.h"
#include "core/parameter.h"
#include "core/plugin_host.h"
#include "core/plugin_lock.h"
#include "core/preset_slot.h"
#include "core/state_chunk.h"

constexpr int kNameSize = 128;

class IEffectBase : public IEditorDelegate {
public:
    IEffectBase(int paramCount, const char* channelIO, int presetCount, const char* effectName, const char* productName,
                const char* makerName, int version, int uniqueId, int latency, bool doesMidi, bool doesStateChunks,
                bool isInstrument);

    // ---- Virtual operations; the order is part of the interface. ----

    // Deletes the editor first (it may still refer to the plug-in), then
    // parameters, presets, channels and configurations.
    virtual ~IEffectBase();
    // Host set the sample rate or block size, or suspended processing.
    virtual void OnReset();
    // A parameter's value changed (host, editor, preset, state load, effOpen).
    virtual void OnParameterChange(int index);
    // Audio thread, lock held. One pointer per input and per output channel.
    virtual void ProcessBlock(double** inputs, double** outputs, int frames);
    // Single-precision copy; the adapter never calls it.
    virtual void ProcessBlockSingle(float** inputs, float** outputs, int frames);
    virtual void OnEditorOpened();
    virtual void OnEditorClosing();
    virtual void ReservedHook();
    virtual void OnActiveChanged(bool active);
    virtual void OnMidiMessage(const IMidiMessage& message);
    virtual void OnSysExMessage(const ISysExMessage& message);
    virtual bool MidiNoteName(int note, std::string& out);
    virtual bool SaveState(IStateChunk& chunk);
    virtual int LoadState(const IStateChunk& chunk, int position);
    virtual bool StateEquals(const double* values, int start);
    virtual void OnEditorResized();
    virtual bool ReservedQuery();
    virtual void OnHostKnown();
    virtual void ReservedEditorHook(int paramIndex, const IMouseMods& mods);
    // Editor thread: sets the parameter, tells the host the given normalised
    // value, calls OnParameterChange; all under the lock. An invalid index or
    // a NaN value changes nothing and tells the host nothing.
    void SetParameterFromEditor(int index, double normalized) override;
    // Host services: forwarded to the adapter's IPluginHost (SetHost); with
    // no host they answer nothing, 0 or false. They take no lock.
    void BeginEditGesture(int index) override;
    virtual void NotifyHostOfValue(int index, double normalized);
    void EndEditGesture(int index) override;
    virtual void NotifyHostDisplayChanged();
    virtual bool IsOfflineRender();
    virtual int HostSamplePosition();
    virtual double HostTempo();
    virtual void HostTimeSignature(int* numerator, int* denominator);
    virtual void HostTimeInfo(ITimeInfo* info);
    // Asks the host once, when it is first needed, and answers that from
    // then on (-1 while no host can tell).
    virtual int IdentifyHost();
    virtual int AdapterKind();
    virtual void SyncEditorRect();
    virtual void ApplyHostQuirks();
    // Takes ownership (plug-in constructor, once); a null editor is ignored.
    virtual void AttachEditor(std::unique_ptr<IEditorLink> editor);
    // Stores the latency and tells the host (under the lock, off the audio
    // thread: a reset or a parameter change).
    virtual void ChangeLatency(int samples);
    virtual bool SendMidiToHost(const IMidiMessage& message);
    virtual bool SendSysExToHost(const ISysExMessage& message);
    // ShowParameterInEditor for every parameter (after a preset or chunk load).
    virtual void RefreshEditorControls();
    virtual void ReservedHook2();
    virtual void OnPresetsChanged();
    // Resizes every channel's scratch buffer to frames doubles and zeroes it,
    // unless frames equals blockSize. Values <= 0 keep the current size.
    // Unconnected channels' entries follow their (possibly moved) scratch
    // buffers. If memory runs out blockSize stays as it was, so callers
    // bound every block by IChannel::ScratchFrames(), never by blockSize.
    virtual void ResizeBlockBuffers(int frames);

    // ---- The rest of the editor's view (IEditorDelegate). ----
    double ParameterNormalized(int index) const override;
    double NormalizeParameterValue(int index, double value) const override;
    // No meters unless the plug-in has some.
    bool ReadMeter(int meter, IMeterReading* out) const override;
    // An editor whose plug-in runs no audio of its own (a UI binary beside
    // the audio one, fed by the host): meter shows reading from now on, as
    // ReadMeter answers it. False where the plug-in has no such meter.
    // Window thread, no lock.
    virtual bool ShowMeterReading(int meter, const IMeterReading& reading);
    // SyncEditorRect: the host learns the window's new size.
    void OnEditorScaleChanged() override { SyncEditorRect(); }

    // ---- Non-virtual operations. ----

    // The adapter that wraps this plug-in (not owned; null detaches). Set
    // once after construction, before the host drives the plug-in.
    void SetHost(IPluginHost* host) { mHost = host; }
    IPluginHost* Host() const { return mHost; }

    RecursiveLock& Lock() const { return mLock; }

    // outputs -1 means any output count.
    bool LegalIO(int inputs, int outputs) const;

    int ParamCount() const { return mParams.Count(); }
    IParameter* GetParam(int index) const { return mParams.Get(index); }

    // Presets and state (the default SaveState/LoadState).
    bool SerializeParams(IStateChunk& chunk);
    int UnserializeParams(const IStateChunk& chunk, int position);
    void ModifyCurrentPreset(const char* newName = nullptr);
    bool RecallPreset(int index);
    const char* PresetNameAt(int index) const;  // "" when out of range
    void FillUnsetPresets(const char* name, int count);
    bool SerializePresets(IStateChunk& chunk);
    int UnserializePresets(const IStateChunk& chunk, int position);
    int PresetCount() const { return mPresets.Count(); }
    IPresetSlot* GetPreset(int index) const { return mPresets.Get(index); }

    // Channels.
    int InputCount() const { return mInputs.Count(); }
    int OutputCount() const { return mOutputs.Count(); }
    IChannel* GetInput(int i) const { return mInputs.Get(i); }
    IChannel* GetOutput(int i) const { return mOutputs.Get(i); }
    double** InputPointers() { return reinterpret_cast<double**>(mInputPointers.Data()); }
    double** OutputPointers() { return reinterpret_cast<double**>(mOutputPointers.Data()); }
    int ChannelConfigCount() const { return mConfigs.Count(); }
    const IChannelConfig* GetChannelConfig(int i) const { return mConfigs.Get(i); }
    // Marks a channel (dis)connected; a disconnected channel's entry points
    // at its own scratch buffer, zero-filled, so nothing stale is fed in.
    void SetInputConnected(int i, bool connected);
    void SetOutputConnected(int i, bool connected);

    IEditorLink* Editor() const { return mEditor.get(); }

    // Field getters.
    const char* EffectName() const { return mEffectName; }
    const char* ProductName() const { return mProductName; }
    const char* MakerName() const { return mMakerName; }
    int UniqueId() const { return mUniqueId; }
    int Version() const { return mVersion; }
    int HostId() const { return mHostId; }
    int HostVersion() const { return mHostVersion; }
    bool DoesStateChunks() const { return mDoesStateChunks; }
    bool IsInstrument() const { return mIsInstrument; }
    bool DoesMidi() const { return mDoesMidi; }
    int CurrentPreset() const { return mCurrentPreset; }
    double SampleRate() const { return mSampleRate; }
    int BlockSize() const { return mBlockSize; }
    int Latency() const { return mLatency; }
    int TailSize() const { return mTailSize; }

    // For the adapter, under the lock: the host's sample rate (hooks see it
    // at the next OnReset) and the adapter's number.
    void SetSampleRate(double rate) { mSampleRate = rate; }
    void SetAdapterKind(int kind) { mAdapterKind = kind; }

protected:
    // Deletes the editor now (closing its window). For a plug-in whose
    // controls refer to its own members: those are gone before this base's
    // destructor, which would otherwise delete the editor.
    void DestroyEditor() { mEditor.reset(); }

private:
    IOwningList<IChannelConfig> mConfigs;
    mutable RecursiveLock mLock;
    IPluginHost* mHost = nullptr;
    char mEffectName[kNameSize];
    char mProductName[kNameSize];
    char mMakerName[kNameSize];
    std::int32_t mUniqueId;
    std::int32_t mVersion;  // 0xMMMMmmbb
    std::int32_t mAdapterKind = 0;
    std::int32_t mHostId = -1;
    std::int32_t mHostVersion = 0;
    bool mDoesStateChunks;
    bool mIsInstrument;
    bool mDoesMidi;
    std::int32_t mCurrentPreset = 0;
    double mSampleRate = 44100.0;
    std::int32_t mBlockSize = 0;
    std::int32_t mLatency;
    std::int32_t mTailSize = 0;
    std::unique_ptr<IEditorLink> mEditor;
    IOwningList<IParameter> mParams;
    IOwningList<IPresetSlot> mPresets;
    IHeapBuffer mInputPointers{64};
    IHeapBuffer mOutputPointers{64};
    IOwningList<IChannel> mInputs;
    IOwningList<IChannel> mOutputs;
};
