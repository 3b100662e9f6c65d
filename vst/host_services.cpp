// The plug-in's requests to the host, as audioMaster calls. None takes the
// plug-in lock: PerformEdit runs inside SetParameterFromEditor, which holds
// it; the gesture calls come from the editor without it; the others only ask
// the host.
#include <climits>

#include "vst/effect_vst.h"

namespace {

// Every transport field the full time record reads.
constexpr VstInt32 kTimeInfoFilter =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
static_assert(kTimeInfoFilter == 0x3e00, "time info filter");

}  // namespace

VstIntPtr IEffectVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return hostCallback ? hostCallback(&record, opcode, index, value, ptr, opt) : 0;
}

const VstTimeInfo* IEffectVST::HostTime(VstInt32 filter) {
    return reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

void IEffectVST::BeginEdit(int index) { CallHost(audioMasterBeginEdit, index); }

void IEffectVST::PerformEdit(int index, double normalized) {
    CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IEffectVST::EndEdit(int index) { CallHost(audioMasterEndEdit, index); }

void IEffectVST::DisplayChanged() { CallHost(audioMasterUpdateDisplay); }

bool IEffectVST::IsOfflineRender() { return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline; }

int IEffectVST::SamplePosition() {
    const VstTimeInfo* time = HostTime(0);
    if (!time || !(time->samplePos >= 0.0)) return 0;
    // Rounded to the nearest sample; a position past the int range (a day
    // and more at 48 kHz) saturates rather than overflowing the conversion.
    const double rounded = time->samplePos + 0.5;
    if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(rounded);
}

double IEffectVST::Tempo() {
    const VstTimeInfo* time = HostTime(kVstTempoValid);
    if (!time || !(time->flags & kVstTempoValid) || !(time->tempo >= 0.0)) return 0.0;
    return time->tempo;
}

void IEffectVST::TimeSignature(int* numerator, int* denominator) {
    if (numerator) *numerator = 0;
    if (denominator) *denominator = 0;
    const VstTimeInfo* time = HostTime(kVstTimeSigValid);
    if (!time || !(time->flags & kVstTimeSigValid)) return;
    if (time->timeSigNumerator < 0 || time->timeSigDenominator < 0) return;
    if (numerator) *numerator = time->timeSigNumerator;
    if (denominator) *denominator = time->timeSigDenominator;
}

void IEffectVST::TimeInfo(ITimeInfo* info) {
    const VstTimeInfo* time = HostTime(kTimeInfoFilter);
    if (!info || !time || !(time->flags & kTimeInfoFilter)) return;
    // The tests differ on purpose from the single queries: the full record
    // wants a tempo and time signature above 0.
    info->samplePosition = time->samplePos;
    if ((time->flags & kVstPpqPosValid) && time->ppqPos >= 0.0) info->ppqPosition = time->ppqPos;
    if ((time->flags & kVstTempoValid) && time->tempo > 0.0) info->tempo = time->tempo;
    if ((time->flags & kVstBarsValid) && time->barStartPos >= 0.0) info->lastBar = time->barStartPos;
    if ((time->flags & kVstCyclePosValid) && time->cycleStartPos >= 0.0 && time->cycleEndPos >= 0.0) {
        info->cycleStart = time->cycleStartPos;
        info->cycleEnd = time->cycleEndPos;
    }
    if ((time->flags & kVstTimeSigValid) && time->timeSigNumerator > 0 && time->timeSigDenominator > 0) {
        info->numerator = time->timeSigNumerator;
        info->denominator = time->timeSigDenominator;
    }
    info->transportPlaying = (time->flags & kVstTransportPlaying) != 0;
    info->transportLooping = (time->flags & kVstTransportCycleActive) != 0;
}

bool IEffectVST::SendMidi(const IMidiMessage& message) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent));
    event.deltaFrames = message.frameOffset;
    event.midiData[0] = static_cast<char>(message.status);
    event.midiData[1] = static_cast<char>(message.data1);
    event.midiData[2] = static_cast<char>(message.data2);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IEffectVST::SendSysEx(const ISysExMessage& message) {
    VstMidiSysexEvent event{};
    event.type = kVstSysExType;
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiSysexEvent));
    event.deltaFrames = message.frameOffset;
    event.dumpBytes = message.size;
    // The host reads the bytes only; the record's field is not const.
    event.sysexDump = reinterpret_cast<char*>(const_cast<std::uint8_t*>(message.bytes));
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return CallHost(audioMasterProcessEvents, 0, 0, &events) == 1;
}
