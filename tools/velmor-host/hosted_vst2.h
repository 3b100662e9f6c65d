// The VST 2.4 implementation of PluginInstance: one effect loaded and
// driven as a host drives it (entry point, effOpen, sample rate and block
// size, resume, process, suspend, effClose), and the host side of the
// conversation, the callback that answers the plug-in's audioMaster
// requests. The only file of velmor-host that knows VST 2.4 types, beside
// its tests. Threads as in plugin_instance.h: the dispatcher and parameter
// calls come from the thread that owns this object; only `editor --play`
// processes from a second thread, as a host's audio thread does.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "tools/velmor-host/plugin_instance.h"
#include "vst/plugin_module.h"
#include "vst/vst2_abi.h"

class Vst2Instance final : public PluginInstance {
public:
    Vst2Instance() = default;
    ~Vst2Instance() override;
    Vst2Instance(const Vst2Instance&) = delete;
    Vst2Instance& operator=(const Vst2Instance&) = delete;

    // Loads the library, creates the effect, sends effOpen, then the sample
    // rate and the block size. False with a one-line error on any failure
    // (a Windows DLL given to a Linux build is named as such).
    bool Load(const std::string& path, double sampleRate, int blockSize, std::string& error);

    PluginDescription Describe() override;
    const char* FormatName() const override { return "VST 2.4"; }
    const std::string& Location() const override { return mPath; }
    double SampleRate() const override { return mSampleRate; }
    int MaxBlockSize() const override { return mBlockSize; }
    int InputCount() const override;
    int OutputCount() const override;

    int ParameterCount() const override;
    std::string ParameterName(int index) override { return Text(effGetParamName, index); }
    std::string ParameterLabel(int index) override { return Text(effGetParamLabel, index); }
    std::string ParameterDisplay(int index) override { return Text(effGetParamDisplay, index); }
    float GetParameter(int index) override;
    void SetParameter(int index, float normalised) override;
    // effString2Parameter.
    bool SetParameterFromText(int index, const std::string& text) override;

    bool SaveState(PluginState& state, std::string& error) override;
    bool RestoreState(const PluginState& state, const std::string& source, std::string& error) override;
    bool RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                          std::string& error) override;

    // Precision (for plug-ins that listen), effMainsChanged(1) and
    // effStartProcess; nothing when resumed already.
    void Resume(bool doublePrecision) override;
    // effStopProcess and effMainsChanged(0); nothing when not resumed.
    void Suspend() override;
    bool CanProcessDouble() const override;
    // One block through processReplacing (or, for a plug-in without it, the
    // accumulating process into cleared outputs) / processDoubleReplacing.
    // Advances the transport position reported by audioMasterGetTime.
    void ProcessFloat(float** inputs, float** outputs, int frames) override;
    void ProcessDouble(double** inputs, double** outputs, int frames) override;
    // initialDelay, bounded.
    int Latency() const override;
    // Set by audioMasterIOChanged (from any thread).
    bool TakeIoChanged() override;

    bool HasEditor() const override;
    bool EditorSize(int& width, int& height) override;
    // effEditOpen with the Display in `value` and the Window in `ptr`, as
    // Linux hosts pass them. True when the plug-in says it opened.
    bool OpenEditor(void* display, unsigned long parentWindow, std::string& error) override;
    void IdleEditor() override { Dispatch(effEditIdle); }
    void CloseEditor() override { Dispatch(effEditClose); }

    // Suspends if needed, sends effClose and unloads the library.
    void Close() override;

    // The effect itself, for tests that talk to it directly.
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    AEffect* Effect() const { return mEffect; }
    double SamplePosition() const { return mTime.samplePos; }

    // Answers an audioMaster request from the plug-in this object hosts.
    VstIntPtr HandleRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

private:
    void FillTime();
    std::string Text(VstInt32 opcode, int index);
    std::string DispatchText(VstInt32 opcode);

    PluginModule mModule;
    AEffect* mEffect = nullptr;
    std::string mPath;
    double mSampleRate = 44100.0;
    int mBlockSize = 512;
    bool mResumed = false;
    std::atomic<bool> mIoChanged{false};
    VstTimeInfo mTime{};
};

// Four printable characters of a unique ID or magic ("HtGn"); empty if the
// bytes are not all printable.
std::string FourChars(VstInt32 id);
// "0x4874476E".
std::string HexText(VstInt32 value);
// A unique ID as hosts show it: "HtGn (0x4874476E)", or the number alone.
std::string UniqueIdText(VstInt32 id);
