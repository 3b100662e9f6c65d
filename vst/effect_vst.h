// IEffectVST: the VST 2.4 adapter. It wraps one plug-in (through the
// format-neutral PluginExporter), owns the effect record the host drives,
// answers the host's requests through the dispatcher and the audio/parameter
// callbacks (dispatcher.cpp, audio_callbacks.cpp), and turns the plug-in's
// host services into audioMaster calls (host_services.cpp). Nothing of VST
// 2.4 reaches the plug-in.
//
// Threads: the record's callbacks may arrive on any host thread; each of them
// takes the plug-in lock for its whole body, except the editor's window
// calls (open, close, idle), which run without it so the audio thread never
// waits for the screen. The host services take no lock of their own: they
// run inside a caller that holds it, or call only into the host.
#pragma once

#include <memory>

#include "core/exporter.h"
#include "core/plugin_host.h"
#include "vst/vst2_abi.h"

class IEffectVST final : public IPluginHost {
public:
    // hostCallback may be null (a test or a scanner that never answers);
    // every request then behaves as if the host answered 0. plugin may not
    // be null.
    IEffectVST(audioMasterCallback hostCallback, std::unique_ptr<IEffectBase> plugin);
    ~IEffectVST() override;
    IEffectVST(const IEffectVST&) = delete;
    IEffectVST& operator=(const IEffectVST&) = delete;

    IEffectBase& Plugin() { return *mExporter.Plugin(); }
    PluginExporter& Exporter() { return mExporter; }

    // ---- Host services (IPluginHost). ----
    void BeginEdit(int index) override;
    void PerformEdit(int index, double normalized) override;
    void EndEdit(int index) override;
    void DisplayChanged() override;
    bool IsOfflineRender() override;
    int SamplePosition() override;
    double Tempo() override;
    void TimeSignature(int* numerator, int* denominator) override;
    void TimeInfo(ITimeInfo* info) override;
    // Asks the host for its product string (the base asks once, at the
    // first effOpen, and keeps the answer).
    int IdentifyHost(int* version) override;
    void EditorResized() override;
    void EditorAttached() override;
    // initialDelay follows, and the host is told (audioMasterIOChanged).
    void LatencyChanged(int samples) override;
    bool SendMidi(const IMidiMessage& message) override;
    bool SendSysEx(const ISysExMessage& message) override;

    // Runs once, from effOpen: identifies the host and applies its channel
    // quirks, then re-announces the channel counts in the record.
    void ApplyHostQuirks();

    // ---- For the record's callbacks. ----
    AEffect* Record() { return &record; }
    audioMasterCallback HostCallback() const { return hostCallback; }
    ERect* EditorRect() { return &editorRect; }
    VstSpeakerArrangement* InputArrangement() { return &inputArrangement; }
    VstSpeakerArrangement* OutputArrangement() { return &outputArrangement; }
    IStateChunk& PresetChunk() { return presetChunk; }
    IStateChunk& BankChunk() { return bankChunk; }
    // Start of every audio callback: a MIDI plug-in reminds the host that it
    // wants events. Audio thread, lock held.
    void RequestMidiIfWanted() {
        if (Plugin().DoesMidi()) CallHost(audioMasterWantMidi);
    }

    // The adapter behind a record, or null for a missing record or object.
    static IEffectVST* FromRecord(AEffect* effect) {
        return effect ? static_cast<IEffectVST*>(effect->object) : nullptr;
    }

private:
    // Calls the host; 0 when there is no host callback.
    VstIntPtr CallHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    // The host's transport record for the given validity filter, or null.
    const VstTimeInfo* HostTime(VstInt32 filter);
    void AnnounceEditor();

    ERect editorRect{};
    audioMasterCallback hostCallback;
    VstSpeakerArrangement inputArrangement{};
    VstSpeakerArrangement outputArrangement{};
    bool hostQuirksDone = false;
    IStateChunk presetChunk;
    IStateChunk bankChunk;
    AEffect record{};
    // Last: the plug-in (and its editor) go first, while the record and the
    // host callback still exist for anything it says on the way out.
    PluginExporter mExporter;
};
