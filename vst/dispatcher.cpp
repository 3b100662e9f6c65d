// The dispatcher: one case per opcode, each calling a named handler. Runs on
// whatever thread the host uses (usually its UI thread, sometimes its audio
// thread) and holds the plug-in lock for the whole call, so it never overlaps
// an audio callback, a parameter callback or an editor gesture. The editor's
// window calls give the lock up first: a window opening, decoding pictures or
// painting must never make the audio thread wait.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/bounded_copy.h"
#include "base/decimal_text.h"
#include "vst/callbacks.h"
#include "vst/effect_vst.h"
#include "vst/host_text.h"
#include "vst/version_number.h"

namespace {

constexpr VstIntPtr kIdentifyAnswer = VstFourCC('N', 'v', 'E', 'f');
constexpr VstIntPtr kVendorSpecificAnswer = 0xbeef;
constexpr int kVendorFormatNormalized = 7;
constexpr int kVendorIsStepped = 8;
// The content-scale request some Windows hosts send: index 'PreS', value
// 'AeCs', the scale in opt.
constexpr VstInt32 kVendorContentScaleIndex = VstFourCC('P', 'r', 'e', 'S');
constexpr VstIntPtr kVendorContentScaleValue = VstFourCC('A', 'e', 'C', 's');

// Holds the plug-in lock for one dispatcher call; effClose gives it up
// before the plug-in (and the lock with it) is destroyed.
class DispatchLock {
public:
    explicit DispatchLock(RecursiveLock& lock) : mLock(lock) { mLock.Lock(); }
    ~DispatchLock() {
        if (mHeld) mLock.Unlock();
    }
    DispatchLock(const DispatchLock&) = delete;
    DispatchLock& operator=(const DispatchLock&) = delete;
    void Release() {
        mLock.Unlock();
        mHeld = false;
    }

private:
    RecursiveLock& mLock;
    bool mHeld = true;
};

bool ValidParam(const IEffectBase& p, VstIntPtr index) { return index >= 0 && index < p.ParamCount(); }

// A host-given index or value as an int; values outside int are out of
// every range we check, so they map to -1 rather than wrapping into one.
int ToIndex(VstIntPtr v) { return (v < INT_MIN || v > INT_MAX) ? -1 : static_cast<int>(v); }

double ClampUnit(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

VstIntPtr Open(IEffectVST& v) {
    v.ApplyHostQuirks();
    IEffectBase& p = v.Plugin();
    for (int i = 0; i < p.ParamCount(); ++i) p.OnParameterChange(i);
    return 0;
}

VstIntPtr Close(IEffectVST* v, DispatchLock& lock) {
    lock.Release();
    delete v;
    return 0;
}

VstIntPtr SetProgram(IEffectBase& p, VstIntPtr value) {
    if (!p.DoesStateChunks()) p.ModifyCurrentPreset();
    p.RecallPreset(ToIndex(value));
    return 0;
}

VstIntPtr SetProgramName(IEffectBase& p, void* ptr) {
    if (!ptr) return 0;
    p.ModifyCurrentPreset(static_cast<const char*>(ptr));
    p.OnPresetsChanged();
    return 0;
}

VstIntPtr GetProgramName(IEffectBase& p, void* ptr) {
    CopyBounded(static_cast<char*>(ptr), kProgramNameBytes, p.PresetNameAt(p.CurrentPreset()));
    return 0;
}

VstIntPtr GetParamLabel(IEffectBase& p, VstInt32 index, void* ptr) {
    if (ValidParam(p, index)) CopyBounded(static_cast<char*>(ptr), kParamTextBytes, p.GetParam(index)->UnitText());
    return 0;
}

VstIntPtr GetParamDisplay(IEffectBase& p, VstInt32 index, void* ptr) {
    if (ValidParam(p, index) && ptr) {
        const IParameter* param = p.GetParam(index);
        param->FormatValue(param->Value(), false, static_cast<char*>(ptr), kParamTextBytes, true);
    }
    return 0;
}

VstIntPtr GetParamName(IEffectBase& p, VstInt32 index, void* ptr) {
    if (ValidParam(p, index)) CopyBounded(static_cast<char*>(ptr), kParamNameBytes, p.GetParam(index)->Name());
    return 0;
}

VstIntPtr SetSampleRate(IEffectVST& v, float opt) {
    v.Exporter().SetSampleRate(static_cast<double>(opt));
    return 0;
}

VstIntPtr SetBlockSize(IEffectVST& v, VstIntPtr value) {
    v.Exporter().SetBlockSize(static_cast<long long>(value));
    return 0;
}

VstIntPtr MainsChanged(IEffectVST& v, VstIntPtr value) {
    v.Exporter().SetActive(value != 0);
    return 0;
}

// The size follows the screen's pixel density (on X11 the server's Xft.dpi,
// on Windows the DPI) unless the host set a content scale; asking the
// window system is window work, done without the lock.
VstIntPtr EditGetRect(IEffectVST& v, void* ptr, DispatchLock& lock) {
    if (!ptr || !v.Exporter().HasEditor()) return 0;
    lock.Release();
    v.Exporter().FollowSystemEditorScale();
    *static_cast<ERect**>(ptr) = v.EditorRect();
    return 1;
}

// effEditOpen's value is host-defined (some X11 hosts pass their Display,
// others 0 or anything): it is never looked at. A missing parent answers 0.
VstIntPtr EditOpen(IEffectVST& v, void* ptr, DispatchLock& lock) {
    if (!ptr || !v.Plugin().Editor()) return 0;
    lock.Release();
    v.Exporter().FollowSystemEditorScale();
    return v.Exporter().OpenEditor(ptr) ? 1 : 0;
}

VstIntPtr ContentScale(IEffectVST& v, float opt, DispatchLock& lock) {
    if (!v.Exporter().HasEditor() || !(opt > 0.0f)) return 0;
    lock.Release();
    v.Exporter().SetEditorScale(static_cast<double>(opt));
    return 1;
}

VstIntPtr EditClose(IEffectVST& v, DispatchLock& lock) {
    if (!v.Plugin().Editor()) return 0;
    lock.Release();
    v.Exporter().CloseEditor();
    return 1;
}

VstIntPtr EditIdle(IEffectVST& v, DispatchLock& lock) {
    // The editor's timer work reads only what other threads store into
    // atomics, and a gesture takes the lock itself.
    lock.Release();
    v.Exporter().IdleEditor();
    return 0;
}

VstIntPtr GetChunk(IEffectVST& v, VstInt32 index, void* ptr) {
    if (!ptr) return 0;
    const bool program = index != 0;
    IStateChunk& chunk = program ? v.PresetChunk() : v.BankChunk();
    const bool ok = program ? v.Exporter().SaveProgram(chunk) : v.Exporter().SaveBank(chunk);
    if (!ok || chunk.Length() <= 0) return 0;
    *static_cast<void**>(ptr) = chunk.Data();
    return chunk.Length();
}

VstIntPtr SetChunk(IEffectVST& v, VstInt32 index, VstIntPtr value, void* ptr) {
    // A missing pointer, a negative size or one past what a chunk can hold
    // is refused before anything is touched.
    if (!ptr || value < 0 || value > INT_MAX) return 0;
    const bool program = index != 0;
    IStateChunk& chunk = program ? v.PresetChunk() : v.BankChunk();
    const int size = static_cast<int>(value);
    if (!chunk.Resize(size)) return 0;
    if (size > 0) std::memcpy(chunk.Data(), ptr, static_cast<std::size_t>(size));
    return v.Exporter().LoadChunk(chunk, !program) ? 1 : 0;
}

VstIntPtr ProcessEvents(IEffectBase& p, void* ptr) {
    if (!ptr) return 0;
    const auto* events = static_cast<const VstEvents*>(ptr);
    // The declared two-element array is a variable-length list in practice:
    // hosts send numEvents pointers. Walk it through a plain pointer, so no
    // index ever exceeds a declared bound.
    VstEvent* const* list = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event) continue;
        if (event->type == kVstMidiType) {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            IMidiMessage message;
            message.frameOffset = midi->deltaFrames;
            message.status = static_cast<std::uint8_t>(midi->midiData[0]);
            message.data1 = static_cast<std::uint8_t>(midi->midiData[1]);
            message.data2 = static_cast<std::uint8_t>(midi->midiData[2]);
            p.OnMidiMessage(message);
        } else if (event->type == kVstSysExType) {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            ISysExMessage message;
            message.frameOffset = sysex->deltaFrames;
            // A negative or bufferless dump reaches the plug-in as an empty
            // one, so no handler is ever asked to read -n bytes.
            const bool hasBytes = sysex->sysexDump && sysex->dumpBytes > 0;
            message.size = hasBytes ? sysex->dumpBytes : 0;
            message.bytes = hasBytes ? reinterpret_cast<const std::uint8_t*>(sysex->sysexDump) : nullptr;
            p.OnSysExMessage(message);
        }
    }
    return 1;
}

VstIntPtr String2Parameter(IEffectVST& v, VstInt32 index, void* ptr) {
    if (!ValidParam(v.Plugin(), index)) return 0;
    if (!ptr) return 1;
    return v.Exporter().SetParameterFromText(index, static_cast<const char*>(ptr)) ? 1 : 0;
}

VstIntPtr GetProgramNameIndexed(IEffectBase& p, VstInt32 index, void* ptr) {
    if (!ptr) return 0;
    const char* name = p.PresetNameAt(index);
    CopyBounded(static_cast<char*>(ptr), kProgramNameBytes, name);
    return (name && name[0] != '\0') ? 1 : 0;
}

VstIntPtr GetPinProperties(IEffectBase& p, VstInt32 index, void* ptr, bool input) {
    const int count = input ? p.InputCount() : p.OutputCount();
    if (!ptr || index < 0 || index >= count) return 0;
    auto* pin = static_cast<VstPinProperties*>(ptr);
    // Pins pair up as stereo from an even pin that has a partner.
    pin->flags = kVstPinIsActive;
    if (index % 2 == 0 && index < count - 1) pin->flags |= kVstPinIsStereo;
    const IChannel* channel = input ? p.GetInput(index) : p.GetOutput(index);
    const IHeapBuffer& label = channel->label;
    if (label.Length() > 0) {
        // The label buffer holds text without a guaranteed terminator.
        std::size_t n = static_cast<std::size_t>(label.Length());
        if (n > kPinLabelBytes - 1) n = kPinLabelBytes - 1;
        std::size_t i = 0;
        while (i < n && label.Data()[i] != 0) {
            pin->label[i] = static_cast<char>(label.Data()[i]);
            ++i;
        }
        pin->label[i] = '\0';
    } else {
        std::snprintf(pin->label, kPinLabelBytes, input ? "Input %d" : "Output %d", index + 1);
    }
    return 1;
}

VstIntPtr GetPlugCategory(IEffectBase& p) { return p.IsInstrument() ? kPlugCategSynth : kPlugCategEffect; }

// Connects the first n channels of one direction and disconnects the rest;
// a disconnected channel is fed silence from its own scratch buffer.
template <typename SetConnected>
void ConnectFirst(int count, const VstSpeakerArrangement* arrangement, SetConnected setConnected) {
    if (!arrangement) return;
    int n = arrangement->numChannels < count ? arrangement->numChannels : count;
    if (n < 0) n = 0;
    for (int i = 0; i < count; ++i) setConnected(i, i < n);
}

VstIntPtr SetSpeakerArrangement(IEffectBase& p, VstIntPtr value, void* ptr) {
    ConnectFirst(p.InputCount(), reinterpret_cast<const VstSpeakerArrangement*>(value),
                 [&p](int i, bool on) { p.SetInputConnected(i, on); });
    ConnectFirst(p.OutputCount(), static_cast<const VstSpeakerArrangement*>(ptr),
                 [&p](int i, bool on) { p.SetOutputConnected(i, on); });
    return 1;
}

VstIntPtr CopyText(void* ptr, std::size_t size, const char* text) {
    if (!ptr) return 0;
    CopyBounded(static_cast<char*>(ptr), size, text);
    return 1;
}

VstIntPtr VendorSpecific(IEffectBase& p, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (index == kVendorFormatNormalized) {
        if (!ptr) return 0;
        // Shows the text of any normalised value without setting it. A NaN
        // has no text: the buffer is left as the host gave it.
        if (ValidParam(p, value) && !std::isnan(opt)) {
            p.GetParam(static_cast<int>(value))
                ->FormatValue(ClampUnit(opt), true, static_cast<char*>(ptr), kParamTextBytes, true);
        }
        return kVendorSpecificAnswer;
    }
    if (index == kVendorIsStepped) {
        if (ValidParam(p, value) && p.GetParam(static_cast<int>(value))->Type() != kParamDouble) {
            return kVendorSpecificAnswer;
        }
        return 0;
    }
    return 0;
}

VstIntPtr CanDo(IEffectBase& p, void* ptr) {
    if (!ptr) return 0;
    const char* text = static_cast<const char*>(ptr);
    if (std::strcmp(text, "receiveVstTimeInfo") == 0) return 1;
    if (p.DoesMidi()) {
        static const char* const kMidiAbilities[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                                     "receiveVstMidiEvent"};
        for (const char* ability : kMidiAbilities) {
            if (std::strcmp(text, ability) == 0) return 1;
        }
    }
    return 0;
}

VstIntPtr GetMidiKeyName(IEffectBase& p, void* ptr) {
    if (!ptr) return 0;
    auto* key = static_cast<MidiKeyName*>(ptr);
    key->keyName[0] = '\0';
    std::string name;
    if (!p.MidiNoteName(key->thisKeyNumber, name)) return 0;
    CopyBounded(key->keyName, kMidiKeyNameBytes, name.c_str());
    return 1;
}

VstIntPtr GetSpeakerArrangement(IEffectVST& v, VstIntPtr value, void* ptr) {
    if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = v.InputArrangement();
    if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = v.OutputArrangement();
    return 1;
}

VstIntPtr Dispatch(IEffectVST* adapter, DispatchLock& lock, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                   float opt) {
    IEffectVST& v = *adapter;
    IEffectBase& p = v.Plugin();
    // clang-format off
    switch (opcode) {
        case effOpen: return Open(v);
        case effClose: return Close(adapter, lock);
        case effSetProgram: return SetProgram(p, value);
        case effGetProgram: return p.CurrentPreset();
        case effSetProgramName: return SetProgramName(p, ptr);
        case effGetProgramName: return GetProgramName(p, ptr);
        case effGetParamLabel: return GetParamLabel(p, index, ptr);
        case effGetParamDisplay: return GetParamDisplay(p, index, ptr);
        case effGetParamName: return GetParamName(p, index, ptr);
        case effSetSampleRate: return SetSampleRate(v, opt);
        case effSetBlockSize: return SetBlockSize(v, value);
        case effMainsChanged: return MainsChanged(v, value);
        case effEditGetRect: return EditGetRect(v, ptr, lock);
        case effEditOpen: return EditOpen(v, ptr, lock);
        case effEditClose: return EditClose(v, lock);
        case effEditIdle: return EditIdle(v, lock);
        case effIdentify: return kIdentifyAnswer;
        case effGetChunk: return GetChunk(v, index, ptr);
        case effSetChunk: return SetChunk(v, index, value, ptr);
        case effProcessEvents: return ProcessEvents(p, ptr);
        case effCanBeAutomated: return 1;  // hosts pass the parameter in index or in value
        case effString2Parameter: return String2Parameter(v, index, ptr);
        case effGetProgramNameIndexed: return GetProgramNameIndexed(p, index, ptr);
        case effGetInputProperties: return GetPinProperties(p, index, ptr, true);
        case effGetOutputProperties: return GetPinProperties(p, index, ptr, false);
        case effGetPlugCategory: return GetPlugCategory(p);
        case effProcessVarIo: return 0;
        case effSetSpeakerArrangement: return SetSpeakerArrangement(p, value, ptr);
        case effGetEffectName: return CopyText(ptr, kEffectNameBytes, p.EffectName());
        case effGetVendorString: return CopyText(ptr, kVendorTextBytes, p.MakerName());
        case effGetProductString: return CopyText(ptr, kVendorTextBytes, p.ProductName());
        case effGetVendorVersion: return DecimalFromPackedVersion(p.Version());
        case effVendorSpecific:
            if (index == kVendorContentScaleIndex && value == kVendorContentScaleValue) return ContentScale(v, opt, lock);
            return VendorSpecific(p, index, value, ptr, opt);
        case effCanDo: return CanDo(p, ptr);
        case effGetTailSize: return p.TailSize();
        case effIdle: return 0;
        case effGetVstVersion: return kVstVersion;
        case effGetMidiKeyName: return GetMidiKeyName(p, ptr);
        case effGetSpeakerArrangement: return GetSpeakerArrangement(v, value, ptr);
        default: return 0;  // deprecated and unknown opcodes change nothing
    }
    // clang-format on
}

}  // namespace

VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
    IEffectVST* adapter = IEffectVST::FromRecord(effect);
    if (!adapter) return 0;
    DispatchLock lock(adapter->Plugin().Lock());
    // Nothing may unwind into the host: a failed allocation is an unhandled
    // request.
    try {
        return Dispatch(adapter, lock, opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}
