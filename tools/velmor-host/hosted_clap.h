// The CLAP implementation of PluginInstance: one plug-in of a .clap file,
// loaded and driven as a CLAP host drives it (entry init, factory,
// create_plugin, init, activate and process, deactivate, destroy, deinit),
// with the host's side of the conversation in clap/host_context.h. The only
// file of velmor-host that knows CLAP types, beside its tests.
//
// Values: CLAP parameters have plain values in a range; the interface's
// normalised values are their position in it (stepped ones at whole steps).
// Parameter changes go to the plug-in as events: through params.flush while
// nothing plays, in the next block while `editor --play` plays. Threads as
// in plugin_instance.h; the audio thread's calls start processing at the
// first block, on that thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "clap/clap_module.h"
#include "clap/host_context.h"
#include "tools/velmor-host/plugin_instance.h"

class HostedClap final : public PluginInstance {
public:
    HostedClap();
    ~HostedClap() override;
    HostedClap(const HostedClap&) = delete;
    HostedClap& operator=(const HostedClap&) = delete;

    // Loads the file, picks the plug-in (`id`, or the only one), creates
    // and initialises it. False with a one-line error naming the file.
    bool Load(const std::string& path, const std::string& id, double sampleRate, int blockSize, std::string& error);

    PluginDescription Describe() override;
    const char* FormatName() const override { return "CLAP"; }
    const std::string& Location() const override { return mPath; }
    double SampleRate() const override { return mSampleRate; }
    int MaxBlockSize() const override { return mBlockSize; }
    int InputCount() const override { return mMainInputs; }
    int OutputCount() const override { return mMainOutputs; }

    int ParameterCount() const override { return static_cast<int>(mParams.size()); }
    std::string ParameterName(int index) override;
    // CLAP has no unit label: the display text carries any unit.
    std::string ParameterLabel(int) override { return std::string(); }
    std::string ParameterDisplay(int index) override;
    float GetParameter(int index) override;
    void SetParameter(int index, float normalised) override;
    // text_to_value, then the value is set.
    bool SetParameterFromText(int index, const std::string& text) override;

    // The state extension's stream, as a program chunk of a plug-in with a
    // text id; a plug-in without the extension keeps its parameter values.
    bool SaveState(PluginState& state, std::string& error) override;
    bool RestoreState(const PluginState& state, const std::string& source, std::string& error) override;
    bool RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                          std::string& error) override;

    // activate at the rate and block size of Load; processing starts with
    // the first block, on the thread that runs it.
    void Resume(bool doublePrecision) override;
    // stop_processing (when it started) and deactivate.
    void Suspend() override;
    bool CanProcessDouble() const override;
    void ProcessFloat(float** inputs, float** outputs, int frames) override;
    void ProcessDouble(double** inputs, double** outputs, int frames) override;
    int Latency() const override;
    // Set by latency.changed, request_restart and audio-ports rescan.
    bool TakeIoChanged() override;

    // The gui extension, embedded "x11"; idled by the host's timers and
    // the editor's descriptors.
    bool HasEditor() const override;
    bool EditorSize(int& width, int& height) override;
    bool OpenEditor(void* display, unsigned long parentWindow, std::string& error) override;
    void IdleEditor() override;
    void CloseEditor() override;
    // gui.set_scale, again on every gui made from now on; false when the
    // plug-in ignores it.
    bool SetEditorScale(double scale) override;

    // Deactivates if needed, destroys the plug-in and unloads the file.
    void Close() override;

private:
    struct Port {
        std::uint32_t channels;
        bool main;
    };
    template <typename T>
    void Process(T** inputs, T** outputs, int frames);
    // One value for parameter index goes to the plug-in: at once through
    // flush, or with the next block while one plays.
    void SendValue(int index, double plain);
    double Plain(int index) const;
    // The latency as the plug-in states it while active.
    int ActiveLatency();
    bool CreateGui();

    ClapModule mModule;
    std::unique_ptr<ClapHostContext> mHost;
    const clap_plugin* mPlugin = nullptr;
    const clap_plugin_params* mParamsExt = nullptr;
    const clap_plugin_state* mStateExt = nullptr;
    const clap_plugin_latency* mLatencyExt = nullptr;
    const clap_plugin_gui* mGuiExt = nullptr;
    std::string mPath;
    std::string mId;
    double mSampleRate = 44100.0;
    int mBlockSize = 512;
    std::vector<clap_param_info> mParams;
    std::vector<Port> mInputs;
    std::vector<Port> mOutputs;
    int mMainInputs = 0;
    int mMainOutputs = 0;
    bool mDoubles = false;  // every port takes 64-bit samples
    bool mActive = false;
    bool mPlaying = false;                 // between Resume and Suspend (main thread)
    std::atomic<bool> mProcessing{false};  // start_processing ran (audio thread)
    bool mGuiCreated = false;
    double mEditorScale = 1.0;
    bool mEditorScaleSet = false;
    std::int64_t mSteadyTime = 0;
    // Values waiting for the next block while one plays.
    std::mutex mPendingLock;
    ClapInputEvents mPending;
    // Silent buffers for the ports velmor-host has no audio for.
    std::vector<std::vector<float>> mSpare32;
    std::vector<std::vector<double>> mSpare64;
};
