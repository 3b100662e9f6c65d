#include "core/effect_base.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/bounded_copy.h"
#include "core/trace.h"

namespace {

// One "%d" conversion: optional white space, a signed decimal number; 0 and
// no progress when there is none. Out-of-range numbers saturate.
int ReadInt(const char*& p) {
    char* end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p) return 0;
    p = end;
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// "%d-%d" at p; a number that cannot be read counts as 0.
IChannelConfig ReadChannelPair(const char* p) {
    IChannelConfig config;
    const char* q = p;
    config.nIn = ReadInt(q);
    if (q == p || *q != '-') return config;
    ++q;
    config.nOut = ReadInt(q);
    return config;
}

}  // namespace

IEffectBase::IEffectBase(int paramCount, const char* channelIO, int presetCount, const char* effectName,
                         const char* productName, const char* makerName, int version, int uniqueId, int latency,
                         bool doesMidi, bool doesStateChunks, bool isInstrument)
    : mUniqueId(uniqueId),
      mVersion(version),
      mDoesStateChunks(doesStateChunks),
      mIsInstrument(isInstrument),
      mDoesMidi(doesMidi),
      mLatency(latency) {
    Trace("IEffectBase::IEffectBase", "%d %s %d", paramCount, channelIO ? channelIO : "", presetCount);
    for (int i = 0; i < paramCount; ++i) mParams.Add(new IParameter());
    for (int i = 0; i < presetCount; ++i) mPresets.Add(new IPresetSlot());

    CopyBounded(mEffectName, effectName);
    CopyBounded(mProductName, productName);
    CopyBounded(mMakerName, makerName);

    // Pairs such as "1-1 2-2", separated by single spaces.
    int maxIn = 0;
    int maxOut = 0;
    const char* p = channelIO ? channelIO : "";
    for (;;) {
        const IChannelConfig pair = ReadChannelPair(p);
        if (auto* config = new IChannelConfig(pair); mConfigs.Add(config)) {
            maxIn = std::max(maxIn, pair.nIn);
            maxOut = std::max(maxOut, pair.nOut);
        }
        p = std::strchr(p, ' ');
        if (!p) break;
        ++p;
    }

    // The pointer arrays are sized once, here: each channel keeps the address
    // of its own entry, which must never move.
    const int pointerBytes = static_cast<int>(sizeof(double*));
    maxIn = std::min(maxIn, INT_MAX / pointerBytes);
    maxOut = std::min(maxOut, INT_MAX / pointerBytes);
    if (mInputPointers.SetLength(maxIn * pointerBytes)) {
        std::memset(mInputPointers.Data(), 0, static_cast<std::size_t>(mInputPointers.Length()));
    }
    if (mOutputPointers.SetLength(maxOut * pointerBytes)) {
        std::memset(mOutputPointers.Data(), 0, static_cast<std::size_t>(mOutputPointers.Length()));
    }
    const int inputs = mInputPointers.Length() / pointerBytes;
    const int outputs = mOutputPointers.Length() / pointerBytes;
    for (int i = 0; i < inputs; ++i) {
        auto* channel = new IChannel();
        channel->entry = InputPointers() + i;
        mInputs.Add(channel);
    }
    for (int i = 0; i < outputs; ++i) {
        auto* channel = new IChannel();
        channel->entry = OutputPointers() + i;
        mOutputs.Add(channel);
    }
}

IEffectBase::~IEffectBase() {
    Trace("IEffectBase::~IEffectBase", "");
    // The editor may still call into the plug-in while it closes its window.
    mEditor.reset();
}

void IEffectBase::OnReset() { LockGuard guard(mLock); }

void IEffectBase::OnParameterChange(int) { LockGuard guard(mLock); }

void IEffectBase::ProcessBlock(double** inputs, double** outputs, int frames) {
    if (!outputs || frames <= 0) return;
    const auto bytes = static_cast<std::size_t>(frames) * sizeof(double);
    for (int i = 0; i < OutputCount(); ++i) {
        double* out = outputs[i];
        if (!out) continue;
        const double* in = (inputs && i < InputCount()) ? inputs[i] : nullptr;
        if (in) {
            // The double-precision path may hand the same buffer in and out.
            if (in != out) std::memmove(out, in, bytes);
        } else {
            std::memset(out, 0, bytes);
        }
    }
}

void IEffectBase::ProcessBlockSingle(float** inputs, float** outputs, int frames) {
    if (!outputs || frames <= 0) return;
    const auto bytes = static_cast<std::size_t>(frames) * sizeof(float);
    for (int i = 0; i < OutputCount(); ++i) {
        float* out = outputs[i];
        if (!out) continue;
        const float* in = (inputs && i < InputCount()) ? inputs[i] : nullptr;
        if (in) {
            if (in != out) std::memmove(out, in, bytes);
        } else {
            std::memset(out, 0, bytes);
        }
    }
}

void IEffectBase::OnEditorOpened() {}
void IEffectBase::OnEditorClosing() {}
void IEffectBase::ReservedHook() {}
void IEffectBase::OnActiveChanged(bool) { LockGuard guard(mLock); }
void IEffectBase::OnMidiMessage(const IMidiMessage& message) { SendMidiToHost(message); }
void IEffectBase::OnSysExMessage(const ISysExMessage&) {}

bool IEffectBase::MidiNoteName(int, std::string& out) {
    out.clear();
    return false;
}

bool IEffectBase::SaveState(IStateChunk& chunk) { return SerializeParams(chunk); }
int IEffectBase::LoadState(const IStateChunk& chunk, int position) { return UnserializeParams(chunk, position); }

bool IEffectBase::StateEquals(const double* values, int start) {
    if (!values) return false;
    for (int i = 0; i < ParamCount(); ++i) {
        if (!(std::fabs(GetParam(i)->Value() - values[start + i]) < 0.00001)) return false;
    }
    return true;
}

void IEffectBase::OnEditorResized() {}
bool IEffectBase::ReservedQuery() { return false; }
void IEffectBase::OnHostKnown() {}
void IEffectBase::ReservedEditorHook(int, const IMouseMods&) {}

void IEffectBase::SetParameterFromEditor(int index, double normalized) {
    LockGuard guard(mLock);
    IParameter* param = GetParam(index);
    // Neither the parameter nor the host ever sees a NaN.
    if (!param || std::isnan(normalized)) return;
    param->SetFromNormalized(normalized);
    // The host gets the editor's own value, not one recomputed from the step.
    NotifyHostOfValue(index, normalized);
    OnParameterChange(index);
}

void IEffectBase::BeginEditGesture(int index) {
    if (mHost) mHost->BeginEdit(index);
}

void IEffectBase::NotifyHostOfValue(int index, double normalized) {
    if (mHost) mHost->PerformEdit(index, normalized);
}

void IEffectBase::EndEditGesture(int index) {
    if (mHost) mHost->EndEdit(index);
}

void IEffectBase::NotifyHostDisplayChanged() {
    if (mHost) mHost->DisplayChanged();
}

bool IEffectBase::IsOfflineRender() { return mHost && mHost->IsOfflineRender(); }
int IEffectBase::HostSamplePosition() { return mHost ? mHost->SamplePosition() : 0; }
double IEffectBase::HostTempo() { return mHost ? mHost->Tempo() : 0.0; }

void IEffectBase::HostTimeSignature(int* numerator, int* denominator) {
    if (mHost) {
        mHost->TimeSignature(numerator, denominator);
        return;
    }
    if (numerator) *numerator = 0;
    if (denominator) *denominator = 0;
}

void IEffectBase::HostTimeInfo(ITimeInfo* info) {
    if (mHost) mHost->TimeInfo(info);
}

int IEffectBase::IdentifyHost() {
    if (mHostId == -1 && mHost) {
        int version = 0;
        const int id = mHost->IdentifyHost(&version);
        if (id != -1) {
            mHostId = id;
            mHostVersion = version;
        }
    }
    return mHostId;
}

int IEffectBase::AdapterKind() { return mAdapterKind; }

void IEffectBase::SyncEditorRect() {
    if (!mEditor) return;
    if (mHost) mHost->EditorResized();
    OnEditorResized();
}

void IEffectBase::ApplyHostQuirks() {}

void IEffectBase::AttachEditor(std::unique_ptr<IEditorLink> editor) {
    if (!editor) return;
    Trace("IEffectBase::AttachEditor", "%d %d", editor->Width(), editor->Height());
    LockGuard guard(mLock);
    for (int i = 0; i < ParamCount(); ++i) {
        const IParameter* param = GetParam(i);
        editor->SetControlsFromPlugin(i, param->ValueToNormalized(param->Value()));
    }
    editor->CreateSurfaces();
    mEditor = std::move(editor);
    if (mHost) mHost->EditorAttached();
}

void IEffectBase::ChangeLatency(int samples) {
    LockGuard guard(mLock);
    const bool changed = samples != mLatency;
    mLatency = samples;
    if (changed && mHost) mHost->LatencyChanged(samples);
}

bool IEffectBase::SendMidiToHost(const IMidiMessage& message) { return mHost && mHost->SendMidi(message); }
bool IEffectBase::SendSysExToHost(const ISysExMessage& message) { return mHost && mHost->SendSysEx(message); }

double IEffectBase::ParameterNormalized(int index) const {
    LockGuard guard(mLock);
    const IParameter* param = GetParam(index);
    return param ? param->ValueToNormalized(param->Value()) : 0.0;
}

double IEffectBase::NormalizeParameterValue(int index, double value) const {
    LockGuard guard(mLock);
    const IParameter* param = GetParam(index);
    return param ? param->ValueToNormalized(value) : 0.0;
}

bool IEffectBase::ReadMeter(int, IMeterReading*) const { return false; }

bool IEffectBase::ShowMeterReading(int, const IMeterReading&) { return false; }

void IEffectBase::RefreshEditorControls() {
    if (!mEditor) return;
    for (int i = 0; i < ParamCount(); ++i) mEditor->ShowParameterInEditor(i, GetParam(i)->Value(), false);
}

void IEffectBase::ReservedHook2() {}
void IEffectBase::OnPresetsChanged() {}

void IEffectBase::ResizeBlockBuffers(int frames) {
    // A size of zero or less would leave no scratch memory behind the
    // channel entries: keep the current one.
    if (frames <= 0 || frames == mBlockSize) return;
    if (frames > INT_MAX / static_cast<int>(sizeof(double))) return;
    Trace("IEffectBase::ResizeBlockBuffers", "%d", frames);
    LockGuard guard(mLock);
    const int bytes = frames * static_cast<int>(sizeof(double));
    bool resized = true;
    auto resize = [&](IOwningList<IChannel>& channels) {
        for (int i = 0; i < channels.Count(); ++i) {
            IChannel* channel = channels.Get(i);
            channel->scratch.SetLength(bytes);
            if (channel->scratch.Length() != bytes) resized = false;
            if (channel->scratch.Length() > 0) {
                std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(channel->scratch.Length()));
            }
            // The old scratch block may be gone: an unconnected channel's
            // entry follows it. Connected entries are set by every callback.
            if (!channel->connected) *channel->entry = channel->Scratch();
        }
    };
    resize(mInputs);
    resize(mOutputs);
    // On allocation failure the old size stays announced, so the next call
    // with the same size tries again; callers bound blocks by ScratchFrames().
    if (resized) mBlockSize = frames;
}

bool IEffectBase::LegalIO(int inputs, int outputs) const {
    for (int i = 0; i < ChannelConfigCount(); ++i) {
        const IChannelConfig* config = GetChannelConfig(i);
        if (config->nIn == inputs && (outputs < 0 || config->nOut == outputs)) return true;
    }
    return false;
}

namespace {

void Disconnect(IChannel* channel) {
    channel->connected = false;
    *channel->entry = channel->Scratch();
    // A mono host must feed the second input silence, not the last stereo block.
    if (channel->scratch.Length() > 0) {
        std::memset(channel->scratch.Data(), 0, static_cast<std::size_t>(channel->scratch.Length()));
    }
}

}  // namespace

void IEffectBase::SetInputConnected(int i, bool connected) {
    LockGuard guard(mLock);
    IChannel* channel = GetInput(i);
    if (!channel) return;
    if (connected) {
        channel->connected = true;
    } else {
        Disconnect(channel);
    }
}

void IEffectBase::SetOutputConnected(int i, bool connected) {
    LockGuard guard(mLock);
    IChannel* channel = GetOutput(i);
    if (!channel) return;
    if (connected) {
        channel->connected = true;
    } else {
        Disconnect(channel);
    }
}
