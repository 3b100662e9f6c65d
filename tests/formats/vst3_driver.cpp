// The built VST 3 bundle through GetPluginFactory and its interfaces, as a
// host drives it: the component found as controller too, the handler set,
// the controller synchronised from the component's state, a stereo or mono
// arrangement, set-up, activation, and parameter changes sent into the next
// process call (a flush call here, so they apply at once).
#include <cstdint>
#include <string>

#include "tests/formats/format_driver.h"
#include "vst3/host/host_objects.h"
#include "vst3/host/vst3_module.h"
#include "vst3/vst3_text.h"

namespace {

using namespace vst3;

VST3Module& Module() {
    static VST3Module module;
    return module;
}

template <typename T>
T* Query(FUnknown* object, const Uid& iid) {
    void* obj = nullptr;
    if (!object || object->queryInterface(iid.Data(), &obj) != kResultOk) return nullptr;
    return static_cast<T*>(obj);
}

class Vst3Driver : public IFormatDriver {
public:
    ~Vst3Driver() override {
        if (!mComponent) return;
        mProcessor->setProcessing(0);
        mComponent->setActive(0);
        mController->setComponentHandler(nullptr);
        mController->terminate();
        mController->release();
        mComponent->terminate();
        mProcessor->release();
        mComponent->release();
    }
    bool Start(double rate, int maxBlock, int channels, std::string& error) override {
        if (!Module().IsOpen() && !Module().Open(VELMOR_VST3_PATH, error)) return false;
        PClassInfo info{};
        void* obj = nullptr;
        if (Module().Factory()->getClassInfo(0, &info) != kResultOk ||
            Module().Factory()->createInstance(reinterpret_cast<const char*>(info.cid), kIComponentIid.Data(), &obj) !=
                kResultOk) {
            error = "no component";
            return false;
        }
        mComponent = static_cast<IComponent*>(obj);
        mComponent->initialize(&mHost);
        mController = Query<IEditController>(mComponent, kIEditControllerIid);
        mProcessor = Query<IAudioProcessor>(mComponent, kIAudioProcessorIid);
        if (!mController || !mProcessor) {
            error = "no controller or processor on the component";
            return false;
        }
        mController->initialize(&mHost);
        mController->setComponentHandler(&mHandler);
        HostStream state;
        mComponent->getState(&state);
        state.Rewind();
        mController->setComponentState(&state);
        SpeakerArrangement arrangement = channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
        if (mProcessor->setBusArrangements(&arrangement, 1, &arrangement, 1) != kResultTrue) {
            error = "arrangement refused";
            return false;
        }
        ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
        mProcessor->setupProcessing(&setup);
        mComponent->activateBus(kAudio, kInput, 0, 1);
        mComponent->activateBus(kAudio, kOutput, 0, 1);
        Resume();
        mChannels = channels;
        return true;
    }
    void Suspend() override {
        mProcessor->setProcessing(0);
        mComponent->setActive(0);
    }
    void Resume() override {
        mComponent->setActive(1);
        mProcessor->setProcessing(1);
    }

    int ParameterCount() override { return mController->getParameterCount(); }
    std::string ParameterName(int id) override {
        ParameterInfo info{};
        if (mController->getParameterInfo(id, &info) != kResultOk) return "";
        return Utf8FromUtf16(info.title, 128);
    }
    void SetParameter(int id, double normalized) override {
        mController->setParamNormalized(static_cast<ParamID>(id), normalized);
        mChanges.Add(static_cast<ParamID>(id), 0, normalized);
        Run<float>(nullptr, nullptr, 0);
    }
    double GetParameter(int id) override { return mController->getParamNormalized(static_cast<ParamID>(id)); }
    std::string ParameterText(int id) override {
        String128 text{};
        if (mController->getParamStringByValue(static_cast<ParamID>(id), GetParameter(id), text) != kResultOk)
            return "";
        return Utf8FromUtf16(text, 128);
    }
    bool ParseParameter(int id, const std::string& text, double* normalized) override {
        String128 wide{};
        CopyToUtf16(wide, text.c_str());
        return mController->getParamValueByString(static_cast<ParamID>(id), wide, normalized) == kResultOk;
    }

    void ProcessFloat(const float* const* inputs, float* const* outputs, int frames) override {
        Run<float>(inputs, outputs, frames);
    }
    bool ProcessDouble(const double* const* inputs, double* const* outputs, int frames) override {
        Run<double>(inputs, outputs, frames);
        return true;
    }

    std::vector<std::uint8_t> SaveState() override {
        HostStream stream;
        if (mComponent->getState(&stream) != kResultOk) return {};
        return stream.Bytes();
    }
    bool LoadState(const std::vector<std::uint8_t>& bytes) override {
        HostStream stream(bytes);
        if (mComponent->setState(&stream) != kResultOk) return false;
        stream.Rewind();
        return mController->setComponentState(&stream) == kResultOk;
    }

    int Latency() override { return static_cast<int>(mProcessor->getLatencySamples()); }

private:
    // One process call; no buffers and no frames is a flush call that only
    // delivers the changes queued since the last one.
    template <typename T>
    void Run(const T* const* inputs, T* const* outputs, int frames) {
        T* ins[2] = {};
        T* outs[2] = {};
        for (int c = 0; inputs && c < mChannels; ++c) {
            ins[c] = const_cast<T*>(inputs[c]);
            outs[c] = outputs[c];
        }
        AudioBusBuffers in{};
        AudioBusBuffers out{};
        in.numChannels = out.numChannels = mChannels;
        if constexpr (sizeof(T) == sizeof(float)) {
            in.channelBuffers32 = ins;
            out.channelBuffers32 = outs;
        } else {
            in.channelBuffers64 = ins;
            out.channelBuffers64 = outs;
        }
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = sizeof(T) == sizeof(float) ? kSample32 : kSample64;
        data.numSamples = frames;
        data.numInputs = data.numOutputs = inputs ? 1 : 0;
        data.inputs = inputs ? &in : nullptr;
        data.outputs = inputs ? &out : nullptr;
        data.inputParameterChanges = &mChanges;
        data.outputParameterChanges = &mOutputChanges;
        mProcessor->process(&data);
        mChanges.Clear();
        mOutputChanges.Clear();
    }

    HostApplication mHost{"format conformance"};
    HostComponentHandler mHandler;
    HostParameterChanges mChanges;
    HostParameterChanges mOutputChanges;
    IComponent* mComponent = nullptr;
    IAudioProcessor* mProcessor = nullptr;
    IEditController* mController = nullptr;
    int mChannels = 2;
};

const RegisterFormatDriver kVst3("vst3", [] { return std::make_unique<Vst3Driver>(); });

}  // namespace
