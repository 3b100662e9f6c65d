// One instance of the built VST 3 bundle, set up as a host sets it up:
// created through the module's factory, initialised, its controller found on
// the component (and initialised again, as some hosts do), the handler set,
// the controller synchronised from the component's state, the buses
// arranged, processing set up and started. Parameter changes are sent with
// the next process call, or at once in a flush call. For the format tests
// and the conformance driver; the test's thread.
#pragma once

#include <string>
#include <vector>

#include "vst3/host/host_objects.h"
#include "vst3/host/vst3_module.h"

// The bundle this build made, loaded once per process.
VST3Module& VelmorBundle();

class Vst3TestInstance {
public:
    Vst3TestInstance() = default;
    // Stops processing, clears the handler, terminates and releases.
    ~Vst3TestInstance();
    Vst3TestInstance(const Vst3TestInstance&) = delete;
    Vst3TestInstance& operator=(const Vst3TestInstance&) = delete;

    // Created and initialised only (no handler, arrangement or set-up).
    bool Create(std::string& error);
    // Create, then everything up to processing started.
    bool Start(double rate, int maxBlock, int channels, std::string& error, std::int32_t sampleSize = vst3::kSample32);
    void Suspend();
    void Resume();

    vst3::IComponent* Component() const { return mComponent; }
    vst3::IAudioProcessor* Processor() const { return mProcessor; }
    vst3::IEditController* Controller() const { return mController; }
    HostComponentHandler& Handler() { return mHandler; }
    HostApplication& Host() { return mHost; }
    HostParameterChanges& Changes() { return mChanges; }
    int Channels() const { return mChannels; }

    // The controller's value, then the change through a flush call.
    void SetParameter(int id, double normalized);
    double GetParameter(int id) { return mController->getParamNormalized(static_cast<vst3::ParamID>(id)); }
    // The display text of normalized (of the controller's value with NaN).
    std::string ParameterText(int id, double normalized);

    // One process call over frames frames of every channel, with the
    // changes queued in Changes(); no inputs is a flush call.
    void Process(const float* const* inputs, float* const* outputs, int frames);
    void Process(const double* const* inputs, double* const* outputs, int frames);

    std::vector<std::uint8_t> SaveState();
    // The component's state, then the controller's sync from the same bytes.
    bool LoadState(const std::vector<std::uint8_t>& bytes);

private:
    template <typename T>
    void Run(const T* const* inputs, T* const* outputs, int frames);

    HostApplication mHost{"velmor tests"};
    HostComponentHandler mHandler;
    HostParameterChanges mChanges;
    HostParameterChanges mOutputChanges;
    vst3::IComponent* mComponent = nullptr;
    vst3::IAudioProcessor* mProcessor = nullptr;
    vst3::IEditController* mController = nullptr;
    bool mStarted = false;
    int mChannels = 2;
};
