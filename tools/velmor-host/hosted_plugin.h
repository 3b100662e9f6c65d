// One VST 2.4 effect loaded and driven as a host drives it: entry point,
// effOpen, sample rate and block size, resume, process, suspend, effClose.
// Also the host side of the conversation: the callback that answers the
// plug-in's audioMaster requests. Single-threaded: velmor-host renders
// offline, so the dispatcher, parameter and audio calls all come from the
// thread that owns this object.
#pragma once

#include <string>

#include "vst/plugin_module.h"
#include "vst/vst2_abi.h"

// Bounds on what the effect record may announce; anything larger is a broken
// record, not a plug-in this host should size buffers for.
constexpr int kMaxPluginChannels = 256;
constexpr int kMaxPluginParameters = 100000;
constexpr int kMaxBlockSize = 1 << 20;

class HostedPlugin {
public:
    HostedPlugin() = default;
    ~HostedPlugin();
    HostedPlugin(const HostedPlugin&) = delete;
    HostedPlugin& operator=(const HostedPlugin&) = delete;

    // Loads the library, creates the effect, sends effOpen, then the sample
    // rate and the block size. False with a one-line error on any failure.
    bool Load(const std::string& path, double sampleRate, int blockSize, std::string& error);

    // Precision (for plug-ins that listen), effMainsChanged(1) and
    // effStartProcess. Reads initialDelay afterwards: plug-ins may settle
    // their latency on resume.
    void Resume(bool doublePrecision);
    // effStopProcess and effMainsChanged(0); nothing when not resumed.
    void Suspend();
    // Suspends if needed, sends effClose and unloads the library.
    void Close();

    // One block through processReplacing (or, for a plug-in without it, the
    // accumulating process into cleared outputs) / processDoubleReplacing.
    // Advances the transport position reported by audioMasterGetTime.
    void ProcessFloat(float** inputs, float** outputs, int frames);
    void ProcessDouble(double** inputs, double** outputs, int frames);

    bool CanProcessDouble() const;
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    AEffect* Effect() const { return mEffect; }
    const std::string& Path() const { return mPath; }
    double SampleRate() const { return mSampleRate; }
    int BlockSize() const { return mBlockSize; }
    double SamplePosition() const { return mTime.samplePos; }
    // Latency announced by the effect record, bounded to [0, 2^24].
    int Latency() const;
    // Set when the plug-in sent audioMasterIOChanged; the caller re-reads the
    // record's channel counts and latency between blocks.
    bool TakeIoChanged();

    // Answers an audioMaster request from the plug-in this object hosts.
    VstIntPtr HandleRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

private:
    void FillTime();

    PluginModule mModule;
    AEffect* mEffect = nullptr;
    std::string mPath;
    double mSampleRate = 44100.0;
    int mBlockSize = 512;
    bool mResumed = false;
    bool mIoChanged = false;
    VstTimeInfo mTime{};
};

// Product, vendor and version that the host reports to plug-ins.
extern const char kHostProductString[];
extern const char kHostVendorString[];
extern const VstInt32 kHostVendorVersion;
