#include "core/exporter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "base/decimal_text.h"

namespace {

double ClampUnit(double x) { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

// Host buffers of one direction for one slice: the next connected channel
// takes the next pointer; past the host's count, or for a null pointer,
// there is none.
template <typename T>
T* HostBuffer(T* const* buffers, int count, int next, int offset) {
    if (!buffers || next >= count || !buffers[next]) return nullptr;
    return buffers[next] + offset;
}

// Single precision: every channel runs on its scratch buffer; inputs are
// widened into it, outputs narrowed (or added) back after the block.
void PrepareSingle(IEffectBase& p, const float* const* inputs, int nIn, float* const* outputs, int nOut, int offset,
                   int frames) {
    int next = 0;
    for (int i = 0; i < p.InputCount(); ++i) {
        IChannel* channel = p.GetInput(i);
        double* scratch = channel->Scratch();
        *channel->entry = scratch;
        if (!channel->connected) continue;
        const float* host = HostBuffer(inputs, nIn, next++, offset);
        if (host) {
            for (int s = 0; s < frames; ++s) scratch[s] = static_cast<double>(host[s]);
        } else {
            std::fill(scratch, scratch + frames, 0.0);
        }
    }
    next = 0;
    for (int i = 0; i < p.OutputCount(); ++i) {
        IChannel* channel = p.GetOutput(i);
        *channel->entry = channel->Scratch();
        channel->hostOutput = nullptr;
        if (!channel->connected) continue;
        channel->hostOutput = HostBuffer(outputs, nOut, next++, offset);
    }
}

template <bool kAccumulate>
void FinishSingle(IEffectBase& p, int frames) {
    for (int i = 0; i < p.OutputCount(); ++i) {
        IChannel* channel = p.GetOutput(i);
        float* host = channel->hostOutput;
        if (!channel->connected || !host) continue;
        const double* scratch = channel->Scratch();
        for (int s = 0; s < frames; ++s) {
            if (kAccumulate) {
                host[s] += static_cast<float>(scratch[s]);
            } else {
                host[s] = static_cast<float>(scratch[s]);
            }
        }
    }
}

// Double precision needs no copy: connected channels read and write the
// host's buffers directly, unconnected ones their own scratch.
void PrepareDouble(IEffectBase& p, const double* const* inputs, int nIn, double* const* outputs, int nOut, int offset,
                   int frames) {
    int next = 0;
    for (int i = 0; i < p.InputCount(); ++i) {
        IChannel* channel = p.GetInput(i);
        *channel->entry = channel->Scratch();
        if (!channel->connected) continue;
        // The chain reads its inputs only; the base's pointer array is not
        // const because outputs share its type.
        if (const double* host = HostBuffer(inputs, nIn, next++, offset)) {
            *channel->entry = const_cast<double*>(host);
        } else {
            std::fill(channel->Scratch(), channel->Scratch() + frames, 0.0);
        }
    }
    next = 0;
    for (int i = 0; i < p.OutputCount(); ++i) {
        IChannel* channel = p.GetOutput(i);
        *channel->entry = channel->Scratch();
        if (!channel->connected) continue;
        if (double* host = HostBuffer(outputs, nOut, next++, offset)) *channel->entry = host;
    }
}

}  // namespace

PluginExporter::PluginExporter(std::unique_ptr<IEffectBase> plugin, IPluginHost* host) : mPlugin(std::move(plugin)) {
    if (!mPlugin) return;
    mPlugin->SetHost(host);
    for (int i = 0; i < mPlugin->InputCount(); ++i) mPlugin->SetInputConnected(i, true);
    for (int i = 0; i < mPlugin->OutputCount(); ++i) mPlugin->SetOutputConnected(i, true);
    mPlugin->ResizeBlockBuffers(kInitialBlockSize);
}

PluginExporter::~PluginExporter() {
    // The host goes with this adapter: nothing the plug-in does while it is
    // torn down may call it.
    if (mPlugin) mPlugin->SetHost(nullptr);
}

void PluginExporter::SetSampleRate(double rate) {
    if (!mPlugin) return;
    LockGuard guard(mPlugin->Lock());
    // A rate that is not a positive number would turn every time constant
    // of the chain into NaN for good; the current rate stays instead.
    if (std::isfinite(rate) && rate > 0.0) mPlugin->SetSampleRate(rate);
    mPlugin->OnReset();
}

void PluginExporter::SetBlockSize(long long frames) {
    if (!mPlugin) return;
    LockGuard guard(mPlugin->Lock());
    constexpr long long kLargestBlock = INT_MAX / static_cast<long long>(sizeof(double));
    if (frames > 0 && frames <= kLargestBlock) mPlugin->ResizeBlockBuffers(static_cast<int>(frames));
    mPlugin->OnReset();
}

void PluginExporter::SetActive(bool active) {
    if (!mPlugin) return;
    LockGuard guard(mPlugin->Lock());
    mActive = active;
    mPlugin->OnActiveChanged(active);
    if (!active) mPlugin->OnReset();
}

bool PluginExporter::IsActive() const {
    if (!mPlugin) return false;
    LockGuard guard(mPlugin->Lock());
    return mActive;
}

bool PluginExporter::SetParameterNormalized(int index, double normalized) {
    // A NaN is no value at all: nothing changes, nobody is told.
    if (!mPlugin || std::isnan(normalized)) return false;
    LockGuard guard(mPlugin->Lock());
    IParameter* param = mPlugin->GetParam(index);
    if (!param) return false;
    param->SetFromNormalized(ClampUnit(normalized));
    // The controls show what the parameter kept (a stepped parameter rounds),
    // so a later click starts from the value the plug-in runs with.
    if (IEditorLink* editor = mPlugin->Editor()) {
        editor->ShowParameterInEditor(index, param->ValueToNormalized(param->Value()), true);
    }
    mPlugin->OnParameterChange(index);
    return true;
}

double PluginExporter::ParameterNormalized(int index) const {
    return mPlugin ? mPlugin->ParameterNormalized(index) : 0.0;
}

bool PluginExporter::FormatParameter(int index, double normalized, char* out, int outSize) const {
    if (!mPlugin || !out || outSize <= 0) return false;
    LockGuard guard(mPlugin->Lock());
    const IParameter* param = mPlugin->GetParam(index);
    if (!param) return false;
    if (std::isnan(normalized)) {
        param->FormatValue(param->Value(), false, out, static_cast<std::size_t>(outSize), true);
    } else {
        param->FormatValue(ClampUnit(normalized), true, out, static_cast<std::size_t>(outSize), true);
    }
    return true;
}

bool PluginExporter::ParseParameterText(int index, const char* text, double* value) const {
    if (!mPlugin || !text) return false;
    LockGuard guard(mPlugin->Lock());
    const IParameter* param = mPlugin->GetParam(index);
    if (!param) return false;
    double v;
    if (param->DisplayTextCount() > 0) {
        const int entry = param->FindDisplayText(text);
        if (entry < 0) return false;
        v = param->DisplayTextAt(entry)->value;
    } else {
        v = ReadDecimal(text);
        // "nan" reads as NaN; it must never become a value.
        if (std::isnan(v)) return false;
    }
    if (value) *value = v;
    return true;
}

bool PluginExporter::SetParameterFromText(int index, const char* text) {
    if (!mPlugin) return false;
    LockGuard guard(mPlugin->Lock());
    double v = 0.0;
    if (!ParseParameterText(index, text, &v)) return false;
    // The editor clamps and normalises the typed value as the parameter
    // does; every typed value of a stepped parameter is one of its texts.
    if (IEditorLink* editor = mPlugin->Editor()) editor->ShowParameterInEditor(index, v, false);
    mPlugin->GetParam(index)->SetClamped(v);
    mPlugin->OnParameterChange(index);
    return true;
}

int PluginExporter::SliceCapacity() const {
    // Every channel's scratch buffer must hold a slice: unconnected channels
    // are always read from or written to their scratch, and in single
    // precision every channel is.
    int capacity = INT32_MAX;
    for (int i = 0; i < mPlugin->InputCount(); ++i)
        capacity = std::min(capacity, mPlugin->GetInput(i)->ScratchFrames());
    for (int i = 0; i < mPlugin->OutputCount(); ++i) {
        capacity = std::min(capacity, mPlugin->GetOutput(i)->ScratchFrames());
    }
    return capacity;
}

template <typename T, bool kAccumulate>
void PluginExporter::RunSlices(const T* const* inputs, int nIn, T* const* outputs, int nOut, int offset, int frames) {
    if (!mPlugin || frames <= 0 || offset < 0) return;
    IEffectBase& p = *mPlugin;
    LockGuard guard(p.Lock());
    try {
        // Hosts send blocks longer than they announced; the chain is per
        // sample, so slicing changes no result.
        const int capacity = SliceCapacity();
        if (capacity <= 0) return;
        for (int done = 0; done < frames; done += capacity) {
            const int n = std::min(capacity, frames - done);
            if constexpr (std::is_same<T, float>::value) {
                PrepareSingle(p, inputs, nIn, outputs, nOut, offset + done, n);
                p.ProcessBlock(p.InputPointers(), p.OutputPointers(), n);
                FinishSingle<kAccumulate>(p, n);
            } else {
                PrepareDouble(p, inputs, nIn, outputs, nOut, offset + done, n);
                p.ProcessBlock(p.InputPointers(), p.OutputPointers(), n);
            }
        }
    } catch (...) {
        // Nothing unwinds into the host's audio thread.
    }
}

void PluginExporter::Process(const float* const* inputs, int nIn, float* const* outputs, int nOut, int offset,
                             int frames, bool accumulate) {
    if (accumulate) {
        RunSlices<float, true>(inputs, nIn, outputs, nOut, offset, frames);
    } else {
        RunSlices<float, false>(inputs, nIn, outputs, nOut, offset, frames);
    }
}

void PluginExporter::Process(const double* const* inputs, int nIn, double* const* outputs, int nOut, int offset,
                             int frames) {
    RunSlices<double, false>(inputs, nIn, outputs, nOut, offset, frames);
}

bool PluginExporter::SaveProgram(IStateChunk& chunk) {
    if (!mPlugin) return false;
    LockGuard guard(mPlugin->Lock());
    const bool ok = BeginStateChunk(chunk) && mPlugin->SaveState(chunk) && chunk.Length() > 0;
    if (!ok) chunk.Clear();
    return ok;
}

bool PluginExporter::SaveBank(IStateChunk& chunk) {
    if (!mPlugin) return false;
    LockGuard guard(mPlugin->Lock());
    bool ok = BeginStateChunk(chunk);
    if (ok) {
        // The slot must hold what the user hears now, not what it held when
        // the program was last stored: a host saves the bank right after a
        // knob was turned.
        mPlugin->ModifyCurrentPreset();
        ok = mPlugin->SerializePresets(chunk) && chunk.Length() > 0;
    }
    if (!ok) chunk.Clear();
    return ok;
}

int PluginExporter::StateEnd(const IStateChunk& chunk, int position) const {
    double value = 0.0;
    for (int i = 0; i < mPlugin->ParamCount() && position >= 0; ++i) position = chunk.ReadValue(value, position);
    return position;
}

int PluginExporter::BankEnd(const IStateChunk& chunk, int position) const {
    for (int i = 0; i < mPlugin->PresetCount() && position >= 0; ++i) {
        std::string name;
        bool initialised = false;
        position = chunk.ReadText(name, position);
        position = chunk.ReadFlag(initialised, position);
        if (position >= 0 && initialised) position = StateEnd(chunk, position);
    }
    return position;
}

bool PluginExporter::LoadChunk(const IStateChunk& chunk, bool bank) {
    if (!mPlugin) return false;
    IEffectBase& p = *mPlugin;
    LockGuard guard(p.Lock());
    int position = 0;
    const int format = ReadStateHeader(chunk, position);
    const bool presets = bank && format >= kStateFormatVersion;
    // Checked whole before anything is set: a cut or foreign chunk leaves
    // every parameter, slot and name as it was.
    if (position < 0 || (presets ? BankEnd(chunk, position) : StateEnd(chunk, position)) < 0) return false;
    if (presets) {
        position = p.UnserializePresets(chunk, position);
    } else {
        position = p.LoadState(chunk, position);
        p.ModifyCurrentPreset();
    }
    if (position < 0) return false;
    p.RefreshEditorControls();
    return true;
}

int PluginExporter::Latency() const {
    if (!mPlugin) return 0;
    LockGuard guard(mPlugin->Lock());
    return mPlugin->Latency();
}

bool PluginExporter::HasEditor() const { return mPlugin && mPlugin->Editor() && mPlugin->Editor()->HasWindowSystem(); }

int PluginExporter::EditorWidth() const { return HasEditor() ? mPlugin->Editor()->ScaledWidth() : 0; }
int PluginExporter::EditorHeight() const { return HasEditor() ? mPlugin->Editor()->ScaledHeight() : 0; }

double PluginExporter::ApplyEditorScale(double scale) {
    if (!mPlugin || !mPlugin->Editor()) return 1.0;
    IEditorLink* editor = mPlugin->Editor();
    const double before = editor->Scale();
    const double taken = editor->SetScale(scale);
    if (taken != before) mPlugin->SyncEditorRect();
    return taken;
}

double PluginExporter::SetEditorScale(double scale) {
    mHostSetEditorScale = true;
    if (mPlugin && mPlugin->Editor()) mPlugin->Editor()->SetFollowsSystemScale(false);
    return ApplyEditorScale(scale);
}

double PluginExporter::FollowSystemEditorScale() {
    if (!mPlugin || !mPlugin->Editor()) return 1.0;
    if (mHostSetEditorScale) return mPlugin->Editor()->Scale();
    mPlugin->Editor()->SetFollowsSystemScale(true);
    return ApplyEditorScale(mPlugin->Editor()->SystemScale());
}

double PluginExporter::EditorScale() const { return HasEditor() ? mPlugin->Editor()->Scale() : 1.0; }

bool PluginExporter::OpenEditor(void* parent) {
    if (!mPlugin || !mPlugin->Editor()) return false;
    if (!mPlugin->Editor()->OpenWindow(parent)) return false;
    LockGuard guard(mPlugin->Lock());
    mPlugin->OnEditorOpened();
    return true;
}

void PluginExporter::CloseEditor() {
    if (!mPlugin || !mPlugin->Editor()) return;
    {
        LockGuard guard(mPlugin->Lock());
        mPlugin->OnEditorClosing();
    }
    mPlugin->Editor()->CloseWindow();
}

void PluginExporter::IdleEditor() {
    if (mPlugin && mPlugin->Editor()) mPlugin->Editor()->Idle();
}
