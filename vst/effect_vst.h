// IEffectVST: the VST 2.4 face of the plug-in core. It owns the effect record
// the host drives, answers the host's requests through the dispatcher and the
// audio/parameter callbacks (dispatcher.cpp, audio_callbacks.cpp), and turns
// the base's host services into audioMaster calls (host_services.cpp).
//
// Threads: the record's callbacks may arrive on any host thread; each of them
// takes the plug-in lock for its whole body. The host services take no lock
// of their own: they run inside a caller that holds it, or call only into the
// host.
#pragma once

#include <memory>

#include "core/effect_base.h"
#include "vst/vst2_abi.h"

class IEffectVST : public IEffectBase {
public:
    // hostCallback may be null (a test or a scanner that never answers);
    // every request then behaves as if the host answered 0.
    IEffectVST(audioMasterCallback hostCallback, int paramCount, const char* channelIO, int presetCount,
               const char* effectName, const char* productName, const char* makerName, int version, int uniqueId,
               int latency, bool doesMidi, bool doesStateChunks, bool isInstrument);
    ~IEffectVST() override;

    // ---- Host services (overrides of the base slots). ----
    void BeginEditGesture(int index) override;
    void NotifyHostOfValue(int index, double normalized) override;
    void EndEditGesture(int index) override;
    void NotifyHostDisplayChanged() override;
    bool IsOfflineRender() override;
    int HostSamplePosition() override;
    double HostTempo() override;
    void HostTimeSignature(int* numerator, int* denominator) override;
    void HostTimeInfo(ITimeInfo* info) override;
    // Asks the host for its product string once (at the first effOpen) and
    // answers the host number of that first answer from then on.
    int IdentifyHost() override;
    void SyncEditorRect() override;
    // Runs once, from effOpen: identifies the host and applies its channel
    // quirks, then re-announces the channel counts in the record.
    void ApplyHostQuirks() override;
    void AttachEditor(std::unique_ptr<IEditorLink> editor) override;
    void ChangeLatency(int samples) override;
    bool SendMidiToHost(const IMidiMessage& message) override;
    bool SendSysExToHost(const ISysExMessage& message) override;

    // ---- For the record's callbacks. ----
    AEffect* Record() { return &record; }
    audioMasterCallback HostCallback() const { return hostCallback; }
    ERect* EditorRect() { return &editorRect; }
    VstSpeakerArrangement* InputArrangement() { return &inputArrangement; }
    VstSpeakerArrangement* OutputArrangement() { return &outputArrangement; }
    IStateChunk& PresetChunk() { return presetChunk; }
    IStateChunk& BankChunk() { return bankChunk; }
    // effSetSampleRate.
    void SetHostSampleRate(double rate) { SetSampleRate(rate); }
    // Start of every audio callback: a MIDI plug-in reminds the host that it
    // wants events. Audio thread, lock held.
    void RequestMidiIfWanted() {
        if (DoesMidi()) CallHost(audioMasterWantMidi);
    }

    // The plug-in behind a record, or null for a missing record or object.
    static IEffectVST* FromRecord(AEffect* effect) {
        return effect ? static_cast<IEffectVST*>(effect->object) : nullptr;
    }

private:
    // Calls the host; 0 when there is no host callback.
    VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    // The host's transport record for the given validity filter, or null.
    const VstTimeInfo* HostTime(VstInt32 filter);

    ERect editorRect{};
    audioMasterCallback hostCallback;
    VstSpeakerArrangement inputArrangement{};
    VstSpeakerArrangement outputArrangement{};
    bool hostQuirksDone = false;
    IStateChunk presetChunk;
    IStateChunk bankChunk;
    AEffect record{};
};
