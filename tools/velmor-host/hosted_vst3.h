// The VST 3 implementation of PluginInstance: one class of a .vst3 bundle
// loaded and driven as a host drives it (the module's entry, the factory,
// the component initialised with this host's context, its controller found
// on it or made from its own class and connected to it, the handler set,
// the controller synchronised, buses arranged, set-up, activation,
// process, deactivation), and the host objects plug-ins call back. The only
// file of velmor-host that knows VST 3 types, beside its tests.
//
// Threads as in plugin_instance.h: everything from the thread that loaded
// it, except that `editor --play` processes from a second one. Parameter
// changes wait for the next block (under a lock of this object), as a
// host's do; a state saved before then gets them in a flush call first.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tools/velmor-host/plugin_instance.h"
#include "vst3/host/host_objects.h"
#include "vst3/host/vst3_module.h"

class Vst3Instance final : public PluginInstance {
public:
    Vst3Instance() = default;
    ~Vst3Instance() override;
    Vst3Instance(const Vst3Instance&) = delete;
    Vst3Instance& operator=(const Vst3Instance&) = delete;

    // Loads the bundle at path and the audio effect class named className
    // (or its only one), ready at sampleRate for blocks of blockSize. False
    // with a one-line error naming path.
    bool Load(const std::string& path, const std::string& className, double sampleRate, int blockSize,
              std::string& error);

    PluginDescription Describe() override;
    const char* FormatName() const override { return "VST 3"; }
    const std::string& Location() const override { return mPath; }
    double SampleRate() const override { return mSampleRate; }
    int MaxBlockSize() const override { return mBlockSize; }
    int InputCount() const override { return mMainIn >= 0 ? mInputBuses[mMainIn].channelCount : 0; }
    int OutputCount() const override { return mMainOut >= 0 ? mOutputBuses[mMainOut].channelCount : 0; }

    // The parameters hosts show: hidden ones are left out.
    int ParameterCount() const override { return static_cast<int>(mParameters.size()); }
    std::string ParameterName(int index) override;
    std::string ParameterLabel(int index) override;
    std::string ParameterDisplay(int index) override;
    float GetParameter(int index) override;
    void SetParameter(int index, float normalised) override;
    bool SetParameterFromText(int index, const std::string& text) override;

    // kComponentStates: the component's state and the controller's, under
    // the class id.
    bool SaveState(PluginState& state, std::string& error) override;
    bool RestoreState(const PluginState& state, const std::string& source, std::string& error) override;
    // The component's state alone (a VST 2.4 program chunk of the same
    // plug-in is one).
    bool RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                          std::string& error) override;

    void Resume(bool doublePrecision) override;
    void Suspend() override;
    bool CanProcessDouble() const override { return mCanDouble; }
    void ProcessFloat(float** inputs, float** outputs, int frames) override;
    void ProcessDouble(double** inputs, double** outputs, int frames) override;
    int Latency() const override;
    // A restart for latency or buses since the last call.
    bool TakeIoChanged() override;

    bool HasEditor() const override { return mHasEditor; }
    bool EditorSize(int& width, int& height) override;
    // createView, setFrame (the frame is the run loop), attached with the
    // X11 window id.
    bool OpenEditor(void* display, unsigned long parentWindow, std::string& error) override;
    // Runs the timers and descriptors the view registered.
    void IdleEditor() override { mFrame.RunDue(); }
    void CloseEditor() override;
    // setContentScaleFactor on every view from now on, before getSize and
    // attached; false when the view has no content scale.
    bool SetEditorScale(double scale) override;

    void Close() override;

    // For tests.
    HostComponentHandler& Handler() { return mHandler; }
    vst3::IEditController* Controller() const { return mController; }

private:
    bool Instantiate(const unsigned char* cid, std::string& error);
    void ReadBuses();
    void Setup(std::int32_t sampleSize);
    void FlushChanges();
    void SetNormalized(int index, double normalised);
    template <typename T>
    void Run(T** inputs, T** outputs, int frames);
    bool LoadComponentState(const std::vector<std::uint8_t>& component, const std::vector<std::uint8_t>& controller,
                            const std::string& source, std::string& error);
    std::string IdText() const;
    // The controller's information on parameter index of ours.
    bool Info(int index, vst3::ParameterInfo& info);
    // A new editor view, told the host's scale when one was set.
    vst3::IPlugView* NewView();
    bool ScaleView(vst3::IPlugView* view) const;

    VST3Module mModule;
    HostApplication mHost{kHostProductString};
    HostComponentHandler mHandler;
    HostPlugFrame mFrame;
    std::mutex mChangesLock;  // the changes of the next block
    HostParameterChanges mChanges;
    HostParameterChanges mOutputChanges;
    vst3::ProcessContext mContext{};

    std::string mPath;
    double mSampleRate = 44100.0;
    int mBlockSize = 512;
    vst3::PClassInfo2 mClass{};
    std::string mFactoryVendor;
    int mClassCount = 0;
    vst3::IComponent* mComponent = nullptr;
    vst3::IAudioProcessor* mProcessor = nullptr;
    vst3::IEditController* mController = nullptr;
    bool mSeparateController = false;
    vst3::IConnectionPoint* mComponentPoint = nullptr;
    vst3::IConnectionPoint* mControllerPoint = nullptr;
    vst3::IPlugView* mView = nullptr;
    double mEditorScale = 1.0;
    bool mEditorScaleSet = false;
    struct Parameter {
        vst3::ParamID id;
        std::int32_t index;  // in the controller's list
        bool readOnly;       // the plug-in's output (a meter): never set
    };
    std::vector<Parameter> mParameters;
    std::vector<vst3::BusInfo> mInputBuses;
    std::vector<vst3::BusInfo> mOutputBuses;
    int mMainIn = -1;
    int mMainOut = -1;
    // Buffers of the buses velmor-host has no audio for: silence in,
    // anything out. Sized at set-up.
    std::vector<double> mSpare;
    std::vector<std::vector<void*>> mInputChannels;
    std::vector<std::vector<void*>> mOutputChannels;
    std::vector<vst3::AudioBusBuffers> mInputBuffers;
    std::vector<vst3::AudioBusBuffers> mOutputBuffers;
    bool mCanDouble = false;
    bool mHasEditor = false;
    bool mResumed = false;
    bool mDouble = false;
};
