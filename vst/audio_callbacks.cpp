// The audio and parameter callbacks of the effect record. The audio ones run
// on the host's audio thread (some hosts use their UI thread), the parameter
// ones on any thread; each holds the plug-in lock for its whole body, so
// ProcessBlock, host parameter changes, dispatcher calls and editor gestures
// of one instance never overlap.
//
// Nothing here allocates: the exporter widens single-precision audio into
// the channels' scratch buffers, sized ahead by the block size, and hands
// double-precision audio to the plug-in in place.
#include "vst/callbacks.h"
#include "vst/effect_vst.h"

namespace {

template <typename T>
void ProcessRecord(AEffect* effect, T** inputs, T** outputs, VstInt32 frames, bool accumulate) {
    IEffectVST* adapter = IEffectVST::FromRecord(effect);
    if (!adapter || frames <= 0) return;
    IEffectBase& p = adapter->Plugin();
    LockGuard guard(p.Lock());
    adapter->RequestMidiIfWanted();
    // The record announces one buffer per channel of the plug-in.
    if constexpr (sizeof(T) == sizeof(float)) {
        adapter->Exporter().Process(inputs, p.InputCount(), outputs, p.OutputCount(), 0, frames, accumulate);
    } else {
        adapter->Exporter().Process(inputs, p.InputCount(), outputs, p.OutputCount(), 0, frames);
    }
}

}  // namespace

void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    ProcessRecord(effect, inputs, outputs, frames, true);
}

void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    ProcessRecord(effect, inputs, outputs, frames, false);
}

void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
    ProcessRecord(effect, inputs, outputs, frames, false);
}

void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
    IEffectVST* adapter = IEffectVST::FromRecord(effect);
    if (!adapter) return;
    try {
        adapter->Exporter().SetParameterNormalized(index, static_cast<double>(value));
    } catch (...) {
    }
}

float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index) {
    IEffectVST* adapter = IEffectVST::FromRecord(effect);
    if (!adapter) return 0.0f;
    return static_cast<float>(adapter->Exporter().ParameterNormalized(index));
}
