#include "tests/vst3/vst3_test_instance.h"

#include <cmath>

#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

template <typename T>
T* Query(FUnknown* object, const Uid& iid) {
    void* obj = nullptr;
    if (!object || object->queryInterface(iid.Data(), &obj) != kResultOk) return nullptr;
    return static_cast<T*>(obj);
}

}  // namespace

VST3Module& VelmorBundle() {
    static VST3Module module;
    return module;
}

Vst3TestInstance::~Vst3TestInstance() {
    if (mStarted) Suspend();
    if (mController) {
        mController->setComponentHandler(nullptr);
        mController->terminate();
        mController->release();
    }
    if (mProcessor) mProcessor->release();
    if (mComponent) {
        mComponent->terminate();
        mComponent->release();
    }
}

bool Vst3TestInstance::Create(std::string& error) {
    if (!VelmorBundle().IsOpen() && !VelmorBundle().Open(VELMOR_VST3_PATH, error)) return false;
    PClassInfo info{};
    void* obj = nullptr;
    IPluginFactory* factory = VelmorBundle().Factory();
    if (factory->getClassInfo(0, &info) != kResultOk ||
        factory->createInstance(reinterpret_cast<const char*>(info.cid), kIComponentIid.Data(), &obj) != kResultOk) {
        error = "the factory made no component";
        return false;
    }
    mComponent = static_cast<IComponent*>(obj);
    if (mComponent->initialize(&mHost) != kResultOk) {
        error = "initialize failed";
        return false;
    }
    mController = Query<IEditController>(mComponent, kIEditControllerIid);
    mProcessor = Query<IAudioProcessor>(mComponent, kIAudioProcessorIid);
    if (!mController || !mProcessor) {
        error = "no controller or processor on the component";
        return false;
    }
    mController->initialize(&mHost);
    return true;
}

bool Vst3TestInstance::Start(double rate, int maxBlock, int channels, std::string& error, std::int32_t sampleSize) {
    if (!Create(error)) return false;
    mController->setComponentHandler(&mHandler);
    HostStream state;
    mComponent->getState(&state);
    state.Rewind();
    mController->setComponentState(&state);
    SpeakerArrangement arrangement = channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    if (mProcessor->setBusArrangements(&arrangement, 1, &arrangement, 1) != kResultTrue) {
        error = "the arrangement was refused";
        return false;
    }
    mChannels = channels;
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, rate};
    mProcessor->setupProcessing(&setup);
    mComponent->activateBus(kAudio, kInput, 0, 1);
    mComponent->activateBus(kAudio, kOutput, 0, 1);
    Resume();
    return true;
}

void Vst3TestInstance::Suspend() {
    mProcessor->setProcessing(0);
    mComponent->setActive(0);
    mStarted = false;
}

void Vst3TestInstance::Resume() {
    mComponent->setActive(1);
    mProcessor->setProcessing(1);
    mStarted = true;
}

void Vst3TestInstance::SetParameter(int id, double normalized) {
    mController->setParamNormalized(static_cast<ParamID>(id), normalized);
    mChanges.Add(static_cast<ParamID>(id), 0, normalized);
    Process(static_cast<const float* const*>(nullptr), nullptr, 0);
}

std::string Vst3TestInstance::ParameterText(int id, double normalized) {
    String128 text{};
    if (std::isnan(normalized)) normalized = GetParameter(id);
    if (mController->getParamStringByValue(static_cast<ParamID>(id), normalized, text) != kResultOk) return "";
    return Utf8FromUtf16(text, 128);
}

void Vst3TestInstance::Process(const float* const* inputs, float* const* outputs, int frames) {
    Run(inputs, outputs, frames);
}

void Vst3TestInstance::Process(const double* const* inputs, double* const* outputs, int frames) {
    Run(inputs, outputs, frames);
}

template <typename T>
void Vst3TestInstance::Run(const T* const* inputs, T* const* outputs, int frames) {
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

std::vector<std::uint8_t> Vst3TestInstance::SaveState() {
    HostStream stream;
    if (mComponent->getState(&stream) != kResultOk) return {};
    return stream.Bytes();
}

bool Vst3TestInstance::LoadState(const std::vector<std::uint8_t>& bytes) {
    HostStream stream(bytes);
    if (mComponent->setState(&stream) != kResultOk) return false;
    stream.Rewind();
    return mController->setComponentState(&stream) == kResultOk;
}
