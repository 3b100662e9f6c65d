#include "tools/velmor-host/hosted_plugin.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "base/bounded_copy.h"

#ifndef VELMOR_HOST_VERSION
#define VELMOR_HOST_VERSION 10100
#endif

const char kHostProductString[] = "velmor-host";
const char kHostVendorString[] = "Velmor";
const VstInt32 kHostVendorVersion = VELMOR_HOST_VERSION;

namespace {

constexpr double kTempo = 120.0;  // an offline render has no musical time: report a plain 4/4 at 120 BPM
constexpr int kMaxLatency = 1 << 24;

// Which host object a callback belongs to. A plug-in may call back during
// its entry point, before its record is known (and with a null record), so
// the object being loaded on this thread answers those calls.
std::mutex gRegistryLock;
std::vector<std::pair<AEffect*, HostedPlugin*>> gRegistry;
thread_local HostedPlugin* tLoading = nullptr;

HostedPlugin* FindHost(AEffect* effect) {
    if (effect) {
        std::lock_guard<std::mutex> lock(gRegistryLock);
        for (const auto& entry : gRegistry)
            if (entry.first == effect) return entry.second;
    }
    return tLoading;
}

void Register(AEffect* effect, HostedPlugin* host) {
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
    if (HostedPlugin* host = FindHost(effect)) return host->HandleRequest(opcode, index, value, ptr, opt);
    // A call from a record we do not know: answer what needs no instance.
    if (opcode == audioMasterVersion) return kVstVersion;
    return 0;
}

}  // namespace

HostedPlugin::~HostedPlugin() { Close(); }

bool HostedPlugin::Load(const std::string& path, double sampleRate, int blockSize, std::string& error) {
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
    if (!mModule.Open(path, error)) return false;

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

void HostedPlugin::Resume(bool doublePrecision) {
    if (!mEffect || mResumed) return;
    Dispatch(effSetProcessPrecision, 0, doublePrecision ? kVstProcessPrecision64 : kVstProcessPrecision32);
    Dispatch(effMainsChanged, 0, 1);
    Dispatch(effStartProcess);
    mResumed = true;
}

void HostedPlugin::Suspend() {
    if (!mEffect || !mResumed) return;
    Dispatch(effStopProcess);
    Dispatch(effMainsChanged, 0, 0);
    mResumed = false;
}

void HostedPlugin::Close() {
    if (mEffect) {
        Suspend();
        Dispatch(effClose);
        Unregister(mEffect);
        mEffect = nullptr;
    }
    mModule.Close();
}

void HostedPlugin::ProcessFloat(float** inputs, float** outputs, int frames) {
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

void HostedPlugin::ProcessDouble(double** inputs, double** outputs, int frames) {
    if (!mEffect || frames <= 0 || !CanProcessDouble()) return;
    mEffect->processDoubleReplacing(mEffect, inputs, outputs, frames);
    mTime.samplePos += frames;
}

bool HostedPlugin::CanProcessDouble() const {
    return mEffect && (mEffect->flags & effFlagsCanDoubleReplacing) && mEffect->processDoubleReplacing;
}

VstIntPtr HostedPlugin::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!mEffect) return 0;
    return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

int HostedPlugin::Latency() const {
    if (!mEffect || mEffect->initialDelay < 0) return 0;
    return mEffect->initialDelay > kMaxLatency ? kMaxLatency : mEffect->initialDelay;
}

bool HostedPlugin::TakeIoChanged() { return std::exchange(mIoChanged, false); }

void HostedPlugin::FillTime() {
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

VstIntPtr HostedPlugin::HandleRequest(VstInt32 opcode, VstInt32 /*index*/, VstIntPtr /*value*/, void* ptr,
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
