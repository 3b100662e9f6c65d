// The audio and parameter callbacks of the effect record. The audio ones run
// on the host's audio thread (some hosts use their UI thread), the parameter
// ones on any thread; each holds the plug-in lock for its whole body, so
// ProcessBlock, host parameter changes, dispatcher calls and editor changes
// of one instance never overlap.
//
// Nothing here allocates: single-precision audio is widened into the
// channels' scratch buffers, sized ahead by ResizeBlockBuffers; double-
// precision audio is handed to ProcessBlock in place.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "vst/callbacks.h"
#include "vst/effect_vst.h"

namespace {

// Frames one ProcessBlock call may cover: every channel's scratch buffer must
// hold them, since unconnected channels are always read from or written to
// their scratch.
int SliceCapacity(IEffectVST& p) {
    int capacity = INT32_MAX;
    for (int i = 0; i < p.InputCount(); ++i) capacity = std::min(capacity, p.GetInput(i)->ScratchFrames());
    for (int i = 0; i < p.OutputCount(); ++i) capacity = std::min(capacity, p.GetOutput(i)->ScratchFrames());
    return capacity;
}

// Points every channel's entry for one slice. Host pointers are taken one
// after another by connected channels only. A connected channel without a
// host buffer (a broken host) reads silence and writes nowhere.
void PrepareSingle(IEffectVST& p, float** inputs, float** outputs, int offset, int frames) {
    int next = 0;
    for (int i = 0; i < p.InputCount(); ++i) {
        IChannel* channel = p.GetInput(i);
        double* scratch = channel->Scratch();
        *channel->entry = scratch;
        if (!channel->connected) continue;
        const float* host = inputs ? inputs[next] : nullptr;
        ++next;
        if (host) {
            host += offset;
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
        float* host = outputs ? outputs[next] : nullptr;
        ++next;
        if (host) channel->hostOutput = host + offset;
    }
}

template <bool kAccumulate>
void FinishSingle(IEffectVST& p, int frames) {
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

// Runs a host block under the lock in slices of at most the scratch size:
// an unconnected channel's scratch (and, in single precision, every
// channel's) holds one announced block, and hosts do send longer ones. The
// chain is per sample, so slicing changes no result.
template <typename Slice>
void RunSliced(AEffect* effect, VstInt32 frames, Slice slice) {
    IEffectVST* p = IEffectVST::FromRecord(effect);
    if (!p || frames <= 0) return;
    LockGuard guard(p->Lock());
    try {
        p->RequestMidiIfWanted();
        const int capacity = SliceCapacity(*p);
        if (capacity <= 0) return;
        for (int offset = 0; offset < frames; offset += capacity) {
            const int n = std::min(capacity, frames - offset);
            slice(*p, offset, n);
        }
    } catch (...) {
        // Nothing unwinds into the host's audio thread.
    }
}

template <bool kAccumulate>
void ProcessSingle(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    RunSliced(effect, frames, [&](IEffectVST& p, int offset, int n) {
        PrepareSingle(p, inputs, outputs, offset, n);
        p.ProcessBlock(p.InputPointers(), p.OutputPointers(), n);
        FinishSingle<kAccumulate>(p, n);
    });
}

// Double precision needs no copy: connected channels read and write the
// host's buffers directly, unconnected ones their own scratch.
void PrepareDouble(IEffectVST& p, double** inputs, double** outputs, int offset, int frames) {
    int next = 0;
    for (int i = 0; i < p.InputCount(); ++i) {
        IChannel* channel = p.GetInput(i);
        *channel->entry = channel->Scratch();
        if (!channel->connected) continue;
        double* host = inputs ? inputs[next] : nullptr;
        ++next;
        if (host) {
            *channel->entry = host + offset;
        } else {
            std::fill(channel->Scratch(), channel->Scratch() + frames, 0.0);
        }
    }
    next = 0;
    for (int i = 0; i < p.OutputCount(); ++i) {
        IChannel* channel = p.GetOutput(i);
        *channel->entry = channel->Scratch();
        if (!channel->connected) continue;
        double* host = outputs ? outputs[next] : nullptr;
        ++next;
        if (host) *channel->entry = host + offset;
    }
}

}  // namespace

void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    ProcessSingle<true>(effect, inputs, outputs, frames);
}

void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    ProcessSingle<false>(effect, inputs, outputs, frames);
}

void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
    RunSliced(effect, frames, [&](IEffectVST& p, int offset, int n) {
        PrepareDouble(p, inputs, outputs, offset, n);
        p.ProcessBlock(p.InputPointers(), p.OutputPointers(), n);
    });
}

void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
    IEffectVST* p = IEffectVST::FromRecord(effect);
    // A NaN is no value at all: nothing changes, nobody is told.
    if (!p || std::isnan(value)) return;
    LockGuard guard(p->Lock());
    if (index < 0 || index >= p->ParamCount()) return;
    const double x = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
    try {
        if (p->Editor()) p->Editor()->ShowParameterInEditor(index, x, true);
        p->GetParam(index)->SetFromNormalized(x);
        p->OnParameterChange(index);
    } catch (...) {
    }
}

float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index) {
    IEffectVST* p = IEffectVST::FromRecord(effect);
    if (!p) return 0.0f;
    LockGuard guard(p->Lock());
    if (index < 0 || index >= p->ParamCount()) return 0.0f;
    const IParameter* param = p->GetParam(index);
    return static_cast<float>(param->ValueToNormalized(param->Value()));
}
