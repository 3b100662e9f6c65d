#include "tools/velmor-host/hosted_vst2.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "base/bounded_copy.h"
#include "tools/velmor-host/file_io.h"
#include "tools/velmor-host/plugin_state.h"

namespace {

constexpr double kTempo = 120.0;  // an offline render has no musical time: report a plain 4/4 at 120 BPM
// Plug-ins are given far more room than the published 8..64 characters:
// many write longer names and texts than the published sizes allow.
constexpr std::size_t kTextBuffer = 512;
constexpr std::size_t kMaxChunkBytes = 64u << 20;

// Which host object a callback belongs to. A plug-in may call back during
// its entry point, before its record is known (and with a null record), so
// the object being loaded on this thread answers those calls.
std::mutex gRegistryLock;
std::vector<std::pair<AEffect*, Vst2Instance*>> gRegistry;
thread_local Vst2Instance* tLoading = nullptr;

Vst2Instance* FindHost(AEffect* effect) {
    if (effect) {
        std::lock_guard<std::mutex> lock(gRegistryLock);
        for (const auto& entry : gRegistry)
            if (entry.first == effect) return entry.second;
    }
    return tLoading;
}

void Register(AEffect* effect, Vst2Instance* host) {
    std::lock_guard<std::mutex> lock(gRegistryLock);
    gRegistry.emplace_back(effect, host);
}

void Unregister(AEffect* effect) {
    std::lock_guard<std::mutex> lock(gRegistryLock);
    for (auto it = gRegistry.begin(); it != gRegistry.end(); ++it) {
        if (it->first == effect) {
            gRegistry.erase(it);
            return;
        }
    }
}

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    if (Vst2Instance* host = FindHost(effect)) return host->HandleRequest(opcode, index, value, ptr, opt);
    // A call from a record we do not know: answer what needs no instance.
    if (opcode == audioMasterVersion) return kVstVersion;
    return 0;
}

#if !defined(_WIN32)
// A PE image: "MZ", then at the offset in bytes 60..63 the "PE\0\0" signature.
bool IsWindowsDll(const std::string& path) {
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (!file) return false;
    unsigned char head[64] = {};
    unsigned char signature[4] = {};
    bool pe = std::fread(head, 1, sizeof head, file) == sizeof head && head[0] == 'M' && head[1] == 'Z';
    if (pe) {
        const long offset = head[60] | (head[61] << 8) | (head[62] << 16) | (static_cast<long>(head[63] & 0x7F) << 24);
        pe = std::fseek(file, offset, SEEK_SET) == 0 && std::fread(signature, 1, 4, file) == 4 &&
             std::memcmp(signature, "PE\0\0", 4) == 0;
    }
    std::fclose(file);
    return pe;
}
#endif

std::string DecodeFlags(VstInt32 flags) {
    static const struct {
        VstInt32 bit;
        const char* name;
    } kNames[] = {{effFlagsHasEditor, "HasEditor"},
                  {effFlagsHasClip, "HasClip"},
                  {effFlagsHasVu, "HasVu"},
                  {effFlagsCanMono, "CanMono"},
                  {effFlagsCanReplacing, "CanReplacing"},
                  {effFlagsProgramChunks, "ProgramChunks"},
                  {effFlagsIsSynth, "IsSynth"},
                  {effFlagsNoSoundInStop, "NoSoundInStop"},
                  {effFlagsExtIsAsync, "ExtIsAsync"},
                  {effFlagsExtHasBuffer, "ExtHasBuffer"},
                  {effFlagsCanDoubleReplacing, "CanDoubleReplacing"}};
    std::string text = HexText(flags);
    VstInt32 known = 0;
    for (const auto& entry : kNames) {
        known |= entry.bit;
        if (flags & entry.bit) text += std::string(" ") + entry.name;
    }
    if (flags & ~known) text += " +" + HexText(flags & ~known);
    return text;
}

std::string TrimText(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

}  // namespace

std::string FourChars(VstInt32 id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::string();
        text += c;
    }
    return text;
}

std::string HexText(VstInt32 value) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << static_cast<std::uint32_t>(value);
    return s.str();
}

std::string UniqueIdText(VstInt32 id) {
    const std::string chars = FourChars(id);
    return chars.empty() ? HexText(id) : chars + " (" + HexText(id) + ")";
}

Vst2Instance::~Vst2Instance() { Close(); }

bool Vst2Instance::Load(const std::string& path, double sampleRate, int blockSize, std::string& error) {
    Close();
    mPath = path;
    mSampleRate = sampleRate;
    mBlockSize = blockSize;
    mTime = VstTimeInfo{};
    // An empty name would make the loader hand back the running program.
    if (path.empty()) {
        error = "no plug-in library given (use --plugin PATH)";
        return false;
    }
    if (!mModule.Open(path, error)) {
        // The loader's own text often starts with the path again.
        const std::string twice = "cannot load " + path + ": " + path + ": ";
        if (error.compare(0, twice.size(), twice) == 0)
            error = "cannot load " + path + ": " + error.substr(twice.size());
#if !defined(_WIN32)
        if (IsWindowsDll(path)) error = path + ": this is a Windows DLL; use the Windows build of velmor-host";
#endif
        return false;
    }

    tLoading = this;
    AEffect* effect = mModule.CreateEffect(HostCallback, error);
    tLoading = nullptr;
    if (!effect) {
        mModule.Close();
        return false;
    }
    if (!effect->dispatcher) {
        // Nothing can be sent to such a record, not even effClose.
        error = path + ": the effect record has no dispatcher";
        mModule.Close();
        return false;
    }
    mEffect = effect;
    Register(mEffect, this);
    if (mEffect->numInputs < 0 || mEffect->numInputs > kMaxPluginChannels || mEffect->numOutputs < 0 ||
        mEffect->numOutputs > kMaxPluginChannels || mEffect->numParams < 0 ||
        mEffect->numParams > kMaxPluginParameters) {
        error = path + ": implausible effect record (" + std::to_string(mEffect->numInputs) + " inputs, " +
                std::to_string(mEffect->numOutputs) + " outputs, " + std::to_string(mEffect->numParams) +
                " parameters)";
        Close();
        return false;
    }
    if (!mEffect->processReplacing && !mEffect->process) {
        error = path + ": the effect record has no audio callback";
        Close();
        return false;
    }

    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(mSampleRate));
    Dispatch(effSetBlockSize, 0, mBlockSize);
    return true;
}

void Vst2Instance::Resume(bool doublePrecision) {
    if (!mEffect || mResumed) return;
    Dispatch(effSetProcessPrecision, 0, doublePrecision ? kVstProcessPrecision64 : kVstProcessPrecision32);
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(effStartProcess);
    mResumed = true;
}

void Vst2Instance::Suspend() {
    if (!mEffect || !mResumed) return;
    Dispatch(effStopProcess);
    Dispatch(effMainsChanged, 0, 0);
    mResumed = false;
}

void Vst2Instance::Close() {
    if (mEffect) {
        Suspend();
        Dispatch(effClose);
        Unregister(mEffect);
        mEffect = nullptr;
    }
    mModule.Close();
}

void Vst2Instance::ProcessFloat(float** inputs, float** outputs, int frames) {
    if (!mEffect || frames <= 0) return;
    if (mEffect->processReplacing && (mEffect->flags & effFlagsCanReplacing)) {
        mEffect->processReplacing(mEffect, inputs, outputs, frames);
    } else if (mEffect->process) {
        // Pre-2.4 plug-ins only accumulate: give them silent outputs to add to.
        for (int c = 0; c < mEffect->numOutputs; ++c)
            std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
        mEffect->process(mEffect, inputs, outputs, frames);
    } else {
        mEffect->processReplacing(mEffect, inputs, outputs, frames);
    }
    mTime.samplePos += frames;
}

void Vst2Instance::ProcessDouble(double** inputs, double** outputs, int frames) {
    if (!mEffect || frames <= 0 || !CanProcessDouble()) return;
    mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
    mTime.samplePos += frames;
}

bool Vst2Instance::CanProcessDouble() const {
    return mEffect && (mEffect->flags & effFlagsCanDoubleReplacing) && mEffect->processDoubleReplacing;
}

VstIntPtr Vst2Instance::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!mEffect) return 0;
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

int Vst2Instance::Latency() const {
    if (!mEffect || mEffect->initialDelay < 0) return 0;
    return mEffect->initialDelay > kMaxPluginLatency ? kMaxPluginLatency : mEffect->initialDelay;
}

bool Vst2Instance::TakeIoChanged() { return mIoChanged.exchange(false); }

int Vst2Instance::InputCount() const { return mEffect ? mEffect->numInputs : 0; }
int Vst2Instance::OutputCount() const { return mEffect ? mEffect->numOutputs : 0; }
int Vst2Instance::ParameterCount() const { return mEffect ? mEffect->numParams : 0; }

std::string Vst2Instance::Text(VstInt32 opcode, int index) {
    char buffer[kTextBuffer] = {};
    Dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = '\0';
    return TrimText(buffer);
}

std::string Vst2Instance::DispatchText(VstInt32 opcode) {
    const std::string text = Text(opcode, 0);
    return text.empty() ? std::string("(none)") : text;
}

float Vst2Instance::GetParameter(int index) {
    return mEffect && mEffect->getParameter ? mEffect->getParameter(mEffect, index) : 0.0f;
}

void Vst2Instance::SetParameter(int index, float normalised) {
    if (mEffect && mEffect->setParameter) mEffect->setParameter(mEffect, index, normalised);
}

bool Vst2Instance::SetParameterFromText(int index, const std::string& text) {
    std::string typed = text;  // the plug-in takes a char*: a copy it may write into
    return Dispatch(effString2Parameter, index, 0, &typed[0]) == 1;
}

PluginDescription Vst2Instance::Describe() {
    PluginDescription d;
    d.format = FormatName();
    d.location = mPath;
    if (!mEffect) return d;
    const AEffect& e = *mEffect;
    d.name = DispatchText(effGetEffectName);
    d.vendor = DispatchText(effGetVendorString);
    d.version = std::to_string(e.version) + ", vendor version " + std::to_string(Dispatch(effGetVendorVersion));
    d.id = UniqueIdText(e.uniqueID);
    const std::string id = FourChars(e.uniqueID);
    d.details = {{"magic", FourChars(e.magic) + " (" + HexText(e.magic) + ")"},
                 {"unique id", (id.empty() ? "-" : id) + " (" + HexText(e.uniqueID) + ")"},
                 {"version", std::to_string(e.version)},
                 {"flags", DecodeFlags(e.flags)},
                 {"inputs", std::to_string(e.numInputs)},
                 {"outputs", std::to_string(e.numOutputs)},
                 {"programs", std::to_string(e.numPrograms)},
                 {"parameters", std::to_string(e.numParams)},
                 {"initialDelay", std::to_string(e.initialDelay)},
                 {"effect name", d.name},
                 {"vendor", d.vendor},
                 {"product", DispatchText(effGetProductString)},
                 {"vendor version", std::to_string(Dispatch(effGetVendorVersion))},
                 {"VST version", std::to_string(Dispatch(effGetVstVersion))}};
    return d;
}

bool Vst2Instance::SaveState(PluginState& state, std::string& error) {
    state.pluginId = mEffect->uniqueID;
    state.pluginVersion = mEffect->version;
    if (mEffect->flags & effFlagsProgramChunks) {
        void* data = nullptr;
        const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
        if (size <= 0 || !data) {
            error = "the plug-in gives no state chunk";
            return false;
        }
        if (static_cast<std::size_t>(size) > kMaxChunkBytes) {
            error = "the plug-in's state chunk is implausibly large (" + std::to_string(size) + " bytes)";
            return false;
        }
        // The chunk belongs to the plug-in until its next chunk call: copy
        // it before anything else is asked of the plug-in.
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        state.kind = StateKind::kProgramChunk;
        state.payload.assign(bytes, bytes + size);
        return true;
    }
    // Without program chunks a plug-in's state is its parameters, which is
    // how hosts keep it.
    if (ParameterCount() == 0) {
        error = "the plug-in has neither a state chunk nor parameters";
        return false;
    }
    std::vector<float> values;
    for (int i = 0; i < ParameterCount(); ++i) values.push_back(GetParameter(i));
    state.kind = StateKind::kParameters;
    state.payload = EncodeParameterValues(values);
    return true;
}

bool Vst2Instance::RestoreState(const PluginState& state, const std::string& source, std::string& error) {
    // A state naming its plug-in by a text (another format's) is never this one's.
    if (!state.pluginTextId.empty() || state.pluginId != mEffect->uniqueID) {
        const std::string owner = state.pluginTextId.empty() ? UniqueIdText(state.pluginId) : state.pluginTextId;
        error =
            source + " holds the state of plug-in " + owner + ", not of this one, " + UniqueIdText(mEffect->uniqueID);
        return false;
    }
    if (state.kind == StateKind::kParameters) return RestoreParameterValues(*this, state.payload, source, error);
    if (state.kind != StateKind::kProgramChunk && state.kind != StateKind::kBankChunk) {
        error = source + " holds a kind of state a VST 2.4 plug-in does not take";
        return false;
    }
    if (!(mEffect->flags & effFlagsProgramChunks)) {
        error = source + " holds a chunk, but the plug-in takes its state as parameter values";
        return false;
    }
    const VstInt32 index = state.kind == StateKind::kProgramChunk ? 1 : 0;
    std::vector<std::uint8_t> copy = state.payload;  // the plug-in takes a non-const pointer
    if (copy.empty() || Dispatch(effSetChunk, index, static_cast<VstIntPtr>(copy.size()), copy.data()) == 0) {
        error = "the plug-in did not accept the state in " + source;
        return false;
    }
    return true;
}

bool Vst2Instance::RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                                    std::string& error) {
    if (bytes.empty()) {
        error = source + " is empty";
        return false;
    }
    std::vector<std::uint8_t> copy = bytes;
    if (Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data()) == 0) {
        error = "the plug-in did not accept the state in " + source;
        return false;
    }
    return true;
}

bool Vst2Instance::HasEditor() const { return mEffect && (mEffect->flags & effFlagsHasEditor); }

bool Vst2Instance::EditorSize(int& width, int& height) {
    ERect* rect = nullptr;
    if (!Dispatch(effEditGetRect, 0, 0, &rect) || !rect) return false;
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

bool Vst2Instance::OpenEditor(void* display, unsigned long parentWindow, std::string& error) {
    const VstIntPtr opened = Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                                      reinterpret_cast<void*>(static_cast<std::uintptr_t>(parentWindow)));
    if (!opened) error = mPath + " did not open its editor";
    return opened != 0;
}

void Vst2Instance::FillTime() {
    const double position = mTime.samplePos;
    mTime = VstTimeInfo{};
    mTime.samplePos = position;
    mTime.sampleRate = mSampleRate;
    mTime.tempo = kTempo;
    mTime.ppqPos = mSampleRate > 0 ? position / mSampleRate * kTempo / 60.0 : 0.0;
    mTime.barStartPos = std::floor(mTime.ppqPos / 4.0) * 4.0;
    mTime.timeSigNumerator = 4;
    mTime.timeSigDenominator = 4;
    mTime.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (mResumed) mTime.flags |= kVstTransportPlaying;
}

VstIntPtr Vst2Instance::HandleRequest(VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/, void* ptr,
                                      float /*opt*/) {
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterGetSampleRate:
            return static_cast<VstIntPtr>(mSampleRate);
        case audioMasterGetBlockSize:
            return mBlockSize;
        case audioMasterGetCurrentProcessLevel:
            return kVstProcessLevelOffline;
        case audioMasterGetTime:
            // Every field is filled whatever the request mask: plug-ins read
            // the flags to see what is valid.
            FillTime();
            return reinterpret_cast<VstIntPtr>(&mTime);
        case audioMasterGetProductString:
            CopyBounded(static_cast<char*>(ptr), kVstMaxProductStrLen, kHostProductString);
            return 1;
        case audioMasterGetVendorString:
            CopyBounded(static_cast<char*>(ptr), kVstMaxVendorStrLen, kHostVendorString);
            return 1;
        case audioMasterGetVendorVersion:
            return kHostVendorVersion;
        case audioMasterIOChanged:
            mIoChanged = true;
            return 1;
        case audioMasterAutomate:
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
        case audioMasterUpdateDisplay:
            // Acknowledged; an offline render has no automation lane or UI to update.
            return 1;
        case audioMasterCanDo: {
            if (!ptr) return 0;
            const char* what = static_cast<const char*>(ptr);
            static const char* const kCanDo[] = {"sendVstTimeInfo", "acceptIOChanges", "startStopProcess"};
            for (const char* known : kCanDo)
                if (std::strcmp(what, known) == 0) return 1;
            return 0;
        }
        default:
            return 0;
    }
}
