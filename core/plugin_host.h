// What a format adapter offers the plug-in: the host services the base
// forwards to. Every format (VST 2.4, VST 3, CLAP, LV2) implements this once;
// an operation its format has no counterpart for keeps the default answer.
// The plug-in never sees a format type.
//
// Threads: as the base's caller of each. BeginEdit and EndEdit run on the
// editor's thread without the plug-in lock; PerformEdit inside
// SetParameterFromEditor, with the lock held; LatencyChanged wherever the
// plug-in changes its latency (a reset, under the lock); the queries from
// the thread that asks. None may call back into the plug-in.
#pragma once

#include "core/host_types.h"

class IPluginHost {
public:
    virtual ~IPluginHost() = default;

    // The user starts, moves and ends an edit of parameter index.
    virtual void BeginEdit(int /*index*/) {}
    virtual void PerformEdit(int /*index*/, double /*normalized*/) {}
    virtual void EndEdit(int /*index*/) {}
    // Names, texts or the parameter list changed.
    virtual void DisplayChanged() {}
    virtual bool IsOfflineRender() { return false; }
    virtual int SamplePosition() { return 0; }
    virtual double Tempo() { return 0.0; }
    virtual void TimeSignature(int* numerator, int* denominator) {
        if (numerator) *numerator = 0;
        if (denominator) *denominator = 0;
    }
    virtual void TimeInfo(ITimeInfo* /*info*/) {}
    // The host's number in the host table and its packed version; -1 when
    // the format cannot tell.
    virtual int IdentifyHost(int* version) {
        if (version) *version = 0;
        return -1;
    }
    // The editor changed its size.
    virtual void EditorResized() {}
    // The plug-in attached its editor (construction).
    virtual void EditorAttached() {}
    // The plug-in's latency became samples.
    virtual void LatencyChanged(int /*samples*/) {}
    virtual bool SendMidi(const IMidiMessage& /*message*/) { return false; }
    virtual bool SendSysEx(const ISysExMessage& /*message*/) { return false; }
};
