#include "tools/velmor-host/hosted_vst3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/bounded_copy.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

constexpr double kTempo = 120.0;  // as the VST 2.4 side reports: a plain 4/4 at 120 BPM
constexpr std::size_t kMaxStateBytes = 64u << 20;

template <typename T>
T* Query(FUnknown* object, const Uid& iid) {
    void* obj = nullptr;
    if (!object || object->queryInterface(iid.Data(), &obj) != kResultOk || !obj) return nullptr;
    return static_cast<T*>(obj);
}

// A class id as hosts print it: its four words in hex, the same on every
// platform (Windows keeps the first two words' bytes in GUID order).
std::vector<std::uint8_t> PrintedOrder(const unsigned char* cid) {
#if defined(_WIN32)
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
#else
    const int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
#endif
    std::vector<std::uint8_t> bytes;
    for (int i : order) bytes.push_back(cid[i]);
    return bytes;
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

bool IsEffectClass(const PClassInfo& info) {
    return std::strncmp(info.category, kVstAudioEffectClass, sizeof info.category) == 0;
}

}  // namespace

Vst3Instance::~Vst3Instance() { Close(); }

bool Vst3Instance::Load(const std::string& path, const std::string& className, double sampleRate, int blockSize,
                        std::string& error) {
    Close();
    mPath = path;
    mSampleRate = sampleRate;
    mBlockSize = blockSize;
    if (!mModule.Open(path, error)) return false;
    IPluginFactory* factory = mModule.Factory();
    PFactoryInfo factoryInfo{};
    if (factory->getFactoryInfo(&factoryInfo) == kResultOk) mFactoryVendor = Field(factoryInfo.vendor, 64);

    // The bundle's audio effects; --class picks one by its name.
    std::vector<PClassInfo> effects;
    const std::int32_t count = factory->countClasses();
    for (std::int32_t i = 0; i < count && i < 4096; ++i) {
        PClassInfo info{};
        if (factory->getClassInfo(i, &info) == kResultOk && IsEffectClass(info)) effects.push_back(info);
    }
    mClassCount = static_cast<int>(effects.size());
    std::string names;
    for (const PClassInfo& e : effects) names += (names.empty() ? "" : ", ") + Field(e.name, 64);
    const PClassInfo* chosen = nullptr;
    for (const PClassInfo& e : effects) {
        if (className.empty() ? effects.size() == 1 : Field(e.name, 64) == className) chosen = &e;
    }
    if (!chosen) {
        if (effects.empty()) {
            error = path + " holds no audio effect class";
        } else if (className.empty()) {
            error = path + " holds " + std::to_string(effects.size()) + " plug-ins (" + names +
                    "): pick one with --class NAME";
        } else {
            error = path + " holds no plug-in named \"" + className + "\" (it holds " + names + ")";
        }
        Close();
        return false;
    }
    const PClassInfo picked = *chosen;
    std::memcpy(mClass.cid, picked.cid, sizeof mClass.cid);
    CopyBounded(mClass.name, Field(picked.name, 64).c_str());
    if (IPluginFactory2* f2 = mModule.Factory2()) {
        for (std::int32_t i = 0; i < count && i < 4096; ++i) {
            PClassInfo2 info{};
            if (f2->getClassInfo2(i, &info) == kResultOk && std::memcmp(info.cid, picked.cid, 16) == 0) mClass = info;
        }
        f2->release();
    }
    if (!Instantiate(picked.cid, error)) {
        Close();
        return false;
    }
    return true;
}

bool Vst3Instance::Instantiate(const unsigned char* cid, std::string& error) {
    void* obj = nullptr;
    const char* id = reinterpret_cast<const char*>(cid);
    if (mModule.Factory()->createInstance(id, kIComponentIid.Data(), &obj) != kResultOk || !obj) {
        error = mPath + ": the factory made no instance of " + Field(mClass.name, 64);
        return false;
    }
    mComponent = static_cast<IComponent*>(obj);
    if (mComponent->initialize(&mHost) != kResultOk) {
        error = mPath + ": the plug-in did not initialise";
        mComponent->release();
        mComponent = nullptr;
        return false;
    }
    mProcessor = Query<IAudioProcessor>(mComponent, kIAudioProcessorIid);
    if (!mProcessor) {
        error = mPath + ": the plug-in has no audio processor";
        return false;
    }
    // The controller: on the component itself, else an object of the class
    // the component names.
    mController = Query<IEditController>(mComponent, kIEditControllerIid);
    char controllerId[16] = {};
    if (!mController && mComponent->getControllerClassId(controllerId) == kResultOk) {
        obj = nullptr;
        if (mModule.Factory()->createInstance(controllerId, kIEditControllerIid.Data(), &obj) == kResultOk && obj) {
            mController = static_cast<IEditController*>(obj);
            mSeparateController = true;
            if (mController->initialize(&mHost) != kResultOk) {
                mController->release();
                mController = nullptr;
                mSeparateController = false;
            }
        }
    }
    if (mController) {
        mController->setComponentHandler(&mHandler);
        if (mSeparateController) {
            mComponentPoint = Query<IConnectionPoint>(mComponent, kIConnectionPointIid);
            mControllerPoint = Query<IConnectionPoint>(mController, kIConnectionPointIid);
            if (mComponentPoint && mControllerPoint) {
                mComponentPoint->connect(mControllerPoint);
                mControllerPoint->connect(mComponentPoint);
            }
        }
        HostStream state;
        if (mComponent->getState(&state) == kResultOk) {
            state.Rewind();
            mController->setComponentState(&state);
        }
        const std::int32_t parameters = mController->getParameterCount();
        for (std::int32_t i = 0; i < parameters && i < kMaxPluginParameters; ++i) {
            ParameterInfo info{};
            constexpr std::int32_t kIsHidden = 1 << 4;
            if (mController->getParameterInfo(i, &info) == kResultOk && !(info.flags & kIsHidden))
                mParameters.push_back({info.id, i, (info.flags & kIsReadOnly) != 0});
        }
        IPlugView* view = mController->createView(kEditorViewType);
        if (view) {
            mHasEditor = view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) == kResultTrue;
            view->release();
        }
    }
    mCanDouble = mProcessor->canProcessSampleSize(kSample64) == kResultTrue;
    ReadBuses();
    // The arrangement the plug-in proposes, confirmed as hosts confirm it.
    std::vector<SpeakerArrangement> ins(mInputBuses.size()), outs(mOutputBuses.size());
    for (std::size_t i = 0; i < ins.size(); ++i) mProcessor->getBusArrangement(kInput, static_cast<int>(i), &ins[i]);
    for (std::size_t i = 0; i < outs.size(); ++i) mProcessor->getBusArrangement(kOutput, static_cast<int>(i), &outs[i]);
    mProcessor->setBusArrangements(ins.data(), static_cast<std::int32_t>(ins.size()), outs.data(),
                                   static_cast<std::int32_t>(outs.size()));
    ReadBuses();
    for (int dir : {kInput, kOutput}) {
        const auto& buses = dir == kInput ? mInputBuses : mOutputBuses;
        for (std::size_t i = 0; i < buses.size(); ++i) mComponent->activateBus(kAudio, dir, static_cast<int>(i), 1);
    }
    if (InputCount() > kMaxPluginChannels || OutputCount() > kMaxPluginChannels) {
        error = mPath + ": implausible buses (" + std::to_string(InputCount()) + " inputs, " +
                std::to_string(OutputCount()) + " outputs)";
        return false;
    }
    Setup(kSample32);
    return true;
}

void Vst3Instance::ReadBuses() {
    for (int dir : {kInput, kOutput}) {
        auto& buses = dir == kInput ? mInputBuses : mOutputBuses;
        int& main = dir == kInput ? mMainIn : mMainOut;
        buses.clear();
        main = -1;
        const std::int32_t n = std::min(mComponent->getBusCount(kAudio, dir), 64);
        for (std::int32_t i = 0; i < n; ++i) {
            BusInfo bus{};
            if (mComponent->getBusInfo(kAudio, dir, i, &bus) != kResultOk) bus = BusInfo{};
            bus.channelCount = std::clamp(bus.channelCount, 0, kMaxPluginChannels + 1);
            buses.push_back(bus);
            if (main < 0 && bus.busType == kMain) main = static_cast<int>(i);
        }
    }
}

// The set-up and every bus's buffers, for blocks of mBlockSize frames.
void Vst3Instance::Setup(std::int32_t sampleSize) {
    ProcessSetup setup{kOffline, sampleSize, mBlockSize, mSampleRate};
    mProcessor->setupProcessing(&setup);
    std::size_t spare = 0;
    for (const auto* buses : {&mInputBuses, &mOutputBuses})
        for (const BusInfo& b : *buses) spare += static_cast<std::size_t>(b.channelCount);
    mSpare.assign(spare * static_cast<std::size_t>(mBlockSize), 0.0);
    mInputChannels.assign(mInputBuses.size(), {});
    mOutputChannels.assign(mOutputBuses.size(), {});
    mInputBuffers.assign(mInputBuses.size(), AudioBusBuffers{});
    mOutputBuffers.assign(mOutputBuses.size(), AudioBusBuffers{});
    for (std::size_t i = 0; i < mInputBuses.size(); ++i)
        mInputChannels[i].resize(static_cast<std::size_t>(mInputBuses[i].channelCount));
    for (std::size_t i = 0; i < mOutputBuses.size(); ++i)
        mOutputChannels[i].resize(static_cast<std::size_t>(mOutputBuses[i].channelCount));
}

void Vst3Instance::Resume(bool doublePrecision) {
    if (!mComponent || mResumed) return;
    mDouble = doublePrecision && mCanDouble;
    if (mDouble) Setup(kSample64);
    mComponent->setActive(1);
    mProcessor->setProcessing(1);
    mResumed = true;
}

void Vst3Instance::Suspend() {
    if (!mComponent || !mResumed) return;
    mProcessor->setProcessing(0);
    mComponent->setActive(0);
    mResumed = false;
    if (mDouble) Setup(kSample32);
    mDouble = false;
}

template <typename T>
void Vst3Instance::Run(T** inputs, T** outputs, int frames) {
    if (!mProcessor || frames < 0 || frames > mBlockSize) return;
    // Silence for the buses velmor-host has no audio for (a plug-in may
    // have written into them).
    std::fill(mSpare.begin(), mSpare.end(), 0.0);
    std::size_t next = 0;
    auto fill = [&](std::vector<AudioBusBuffers>& buffers, std::vector<std::vector<void*>>& channels, int main,
                    T** host) {
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            std::vector<void*>& ch = channels[i];
            for (std::size_t c = 0; c < ch.size(); ++c, ++next) {
                ch[c] = static_cast<int>(i) == main && host ? static_cast<void*>(host[c])
                                                            : &mSpare[next * static_cast<std::size_t>(mBlockSize)];
            }
            buffers[i] = AudioBusBuffers{};
            buffers[i].numChannels = static_cast<std::int32_t>(ch.size());
            if constexpr (sizeof(T) == sizeof(float)) {
                buffers[i].channelBuffers32 = reinterpret_cast<float**>(ch.data());
            } else {
                buffers[i].channelBuffers64 = reinterpret_cast<double**>(ch.data());
            }
        }
    };
    fill(mInputBuffers, mInputChannels, mMainIn, inputs);
    fill(mOutputBuffers, mOutputChannels, mMainOut, outputs);

    std::lock_guard<std::mutex> guard(mChangesLock);
    mContext.sampleRate = mSampleRate;
    mContext.tempo = kTempo;
    mContext.timeSigNumerator = 4;
    mContext.timeSigDenominator = 4;
    mContext.projectTimeMusic = static_cast<double>(mContext.projectTimeSamples) / mSampleRate * kTempo / 60.0;
    mContext.barPositionMusic = std::floor(mContext.projectTimeMusic / 4.0) * 4.0;
    mContext.state = (mResumed ? 1u << 1 : 0u) | (1u << 9) | (1u << 10) | (1u << 11) | (1u << 13);
    ProcessData data{};
    data.processMode = kOffline;
    data.symbolicSampleSize = sizeof(T) == sizeof(float) ? kSample32 : kSample64;
    data.numSamples = frames;
    data.numInputs = static_cast<std::int32_t>(mInputBuffers.size());
    data.numOutputs = static_cast<std::int32_t>(mOutputBuffers.size());
    data.inputs = data.numInputs > 0 ? mInputBuffers.data() : nullptr;
    data.outputs = data.numOutputs > 0 ? mOutputBuffers.data() : nullptr;
    data.inputParameterChanges = &mChanges;
    data.outputParameterChanges = &mOutputChanges;
    data.processContext = &mContext;
    mProcessor->process(&data);
    mChanges.Clear();
    mOutputChanges.Clear();
    mContext.projectTimeSamples += frames;
}

void Vst3Instance::ProcessFloat(float** inputs, float** outputs, int frames) {
    if (frames > 0) Run(inputs, outputs, frames);
}

void Vst3Instance::ProcessDouble(double** inputs, double** outputs, int frames) {
    if (frames > 0 && mDouble) Run(inputs, outputs, frames);
}

int Vst3Instance::Latency() const {
    if (!mProcessor) return 0;
    const std::uint32_t latency = mProcessor->getLatencySamples();
    return latency > static_cast<std::uint32_t>(kMaxPluginLatency) ? kMaxPluginLatency : static_cast<int>(latency);
}

bool Vst3Instance::TakeIoChanged() { return (mHandler.TakeRestartFlags() & (kLatencyChanged | 1 << 1)) != 0; }

bool Vst3Instance::Info(int index, ParameterInfo& info) {
    info = ParameterInfo{};
    return mController && index >= 0 && index < ParameterCount() &&
           mController->getParameterInfo(mParameters[static_cast<std::size_t>(index)].index, &info) == kResultOk;
}

std::string Vst3Instance::ParameterName(int index) {
    ParameterInfo info{};
    return Info(index, info) ? Utf8FromUtf16(info.title, 128) : std::string();
}

std::string Vst3Instance::ParameterLabel(int index) {
    ParameterInfo info{};
    return Info(index, info) ? Utf8FromUtf16(info.units, 128) : std::string();
}

std::string Vst3Instance::ParameterDisplay(int index) {
    if (!mController || index < 0 || index >= ParameterCount()) return "";
    const ParamID id = mParameters[static_cast<std::size_t>(index)].id;
    String128 text{};
    if (mController->getParamStringByValue(id, mController->getParamNormalized(id), text) != kResultOk) return "";
    return Utf8FromUtf16(text, 128);
}

float Vst3Instance::GetParameter(int index) {
    if (!mController || index < 0 || index >= ParameterCount()) return 0.0f;
    return static_cast<float>(mController->getParamNormalized(mParameters[static_cast<std::size_t>(index)].id));
}

// The controller hears it first, as from a host's control; the processor
// with the next block (a state saved before then flushes it).
void Vst3Instance::SetParameter(int index, float normalised) { SetNormalized(index, normalised); }

void Vst3Instance::SetNormalized(int index, double normalised) {
    if (!mController || index < 0 || index >= ParameterCount() || std::isnan(normalised)) return;
    const Parameter& p = mParameters[static_cast<std::size_t>(index)];
    if (p.readOnly) return;
    const double value = std::clamp(normalised, 0.0, 1.0);
    mController->setParamNormalized(p.id, value);
    std::lock_guard<std::mutex> guard(mChangesLock);
    mChanges.Set(p.id, value);
}

// Changes not yet processed reach the processor with one frame of silence:
// some plug-ins read parameter points only inside the frames of a block
// (not in a flush call), and only while active, so an inactive one is
// activated around it. Only a suspended instance is flushed this way.
void Vst3Instance::FlushChanges() {
    {
        std::lock_guard<std::mutex> guard(mChangesLock);
        if (mChanges.Empty() || mResumed) return;
    }
    mComponent->setActive(1);
    mProcessor->setProcessing(1);
    Run<float>(nullptr, nullptr, 1);
    mProcessor->setProcessing(0);
    mComponent->setActive(0);
    mContext.projectTimeSamples = 0;
}

bool Vst3Instance::SetParameterFromText(int index, const std::string& text) {
    if (!mController || index < 0 || index >= ParameterCount()) return false;
    String128 wide{};
    CopyToUtf16(wide, text.c_str());
    double value = 0.0;
    if (mController->getParamValueByString(mParameters[static_cast<std::size_t>(index)].id, wide, &value) !=
            kResultOk ||
        std::isnan(value))
        return false;
    // The plug-in's own reading, in full: a float would move "-6" off -6.
    SetNormalized(index, value);
    return true;
}

std::string Vst3Instance::IdText() const { return HexOf(PrintedOrder(mClass.cid)); }

bool Vst3Instance::SaveState(PluginState& state, std::string& error) {
    FlushChanges();
    HostStream component;
    if (mComponent->getState(&component) != kResultOk) {
        error = "the plug-in gives no state";
        return false;
    }
    HostStream controller;
    if (mController && mSeparateController) mController->getState(&controller);
    if (component.Bytes().size() + controller.Bytes().size() > kMaxStateBytes) {
        error = "the plug-in's state is implausibly large";
        return false;
    }
    state.pluginId = 0;
    state.pluginVersion = 0;
    state.pluginTextId = IdText();
    state.kind = StateKind::kComponentStates;
    state.payload = EncodeComponentStates(component.Bytes(), controller.Bytes());
    return true;
}

bool Vst3Instance::RestoreState(const PluginState& state, const std::string& source, std::string& error) {
    if (state.pluginTextId != IdText()) {
        const std::string whose = state.pluginTextId.empty() ? "a VST 2.4 plug-in" : "plug-in " + state.pluginTextId;
        error = source + " holds the state of " + whose + ", not of this one, " + IdText();
        return false;
    }
    std::vector<std::uint8_t> component, controller;
    if (state.kind != StateKind::kComponentStates || !DecodeComponentStates(state.payload, component, controller)) {
        error = source + " holds a kind of state a VST 3 plug-in does not take";
        return false;
    }
    return LoadComponentState(component, controller, source, error);
}

bool Vst3Instance::RestoreBareState(const std::vector<std::uint8_t>& bytes, const std::string& source,
                                    std::string& error) {
    if (bytes.empty()) {
        error = source + " is empty";
        return false;
    }
    return LoadComponentState(bytes, {}, source, error);
}

// As a host loads a project: the component's state, the controller's sync
// from the same bytes, then the controller's own.
bool Vst3Instance::LoadComponentState(const std::vector<std::uint8_t>& component,
                                      const std::vector<std::uint8_t>& controller, const std::string& source,
                                      std::string& error) {
    HostStream stream(component);
    if (mComponent->setState(&stream) != kResultOk) {
        error = "the plug-in did not accept the state in " + source;
        return false;
    }
    if (mController) {
        stream.Rewind();
        mController->setComponentState(&stream);
        if (mSeparateController && !controller.empty()) {
            HostStream own(controller);
            mController->setState(&own);
        }
    }
    return true;
}

PluginDescription Vst3Instance::Describe() {
    PluginDescription d;
    d.format = FormatName();
    d.location = mPath;
    if (!mComponent) return d;
    d.name = Field(mClass.name, 64);
    if (d.name.empty()) d.name = "(none)";
    d.vendor = Field(mClass.vendor, 64);
    if (d.vendor.empty()) d.vendor = mFactoryVendor.empty() ? "(none)" : mFactoryVendor;
    d.version = Field(mClass.version, 64);
    d.id = IdText();
    auto buses = [](const std::vector<BusInfo>& list, int main) {
        std::string text;
        for (std::size_t i = 0; i < list.size(); ++i) {
            text += (i ? ", " : "") + std::to_string(list[i].channelCount) +
                    (static_cast<int>(i) == main ? " (main)"
                     : list[i].busType == kAux   ? " (aux)"
                                                 : "");
        }
        return text.empty() ? std::string("none") : text;
    };
    d.details = {{"class id", d.id},
                 {"name", d.name},
                 {"vendor", d.vendor},
                 {"version", d.version},
                 {"categories", Field(mClass.subCategories, 128)},
                 {"sdk version", Field(mClass.sdkVersion, 64)},
                 {"controller", mSeparateController ? "separate class" : "on the component"},
                 {"input buses", buses(mInputBuses, mMainIn)},
                 {"output buses", buses(mOutputBuses, mMainOut)},
                 {"parameters", std::to_string(ParameterCount())},
                 {"latency", std::to_string(Latency())},
                 {"effect classes", std::to_string(mClassCount)}};
    return d;
}

bool Vst3Instance::ScaleView(IPlugView* view) const {
    void* support = nullptr;
    if (!view || view->queryInterface(kIPlugViewContentScaleSupportIid.Data(), &support) != kResultOk || !support)
        return false;
    auto* scale = static_cast<IPlugViewContentScaleSupport*>(support);
    const bool taken = scale->setContentScaleFactor(static_cast<float>(mEditorScale)) == kResultTrue;
    scale->release();
    return taken;
}

IPlugView* Vst3Instance::NewView() {
    IPlugView* view = mController ? mController->createView(kEditorViewType) : nullptr;
    if (view && mEditorScaleSet) ScaleView(view);
    return view;
}

bool Vst3Instance::SetEditorScale(double scale) {
    mEditorScale = scale;
    mEditorScaleSet = false;
    IPlugView* view = mView ? mView : NewView();
    const bool taken = ScaleView(view);
    if (view && view != mView) view->release();
    mEditorScaleSet = taken;
    return taken;
}

bool Vst3Instance::EditorSize(int& width, int& height) {
    IPlugView* view = mView;
    if (!view) view = NewView();
    if (!view) return false;
    ViewRect rect{};
    const bool ok = view->getSize(&rect) == kResultOk;
    if (view != mView) view->release();
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    return ok && width > 0 && height > 0;
}

bool Vst3Instance::OpenEditor(void* /*display*/, unsigned long parentWindow, std::string& error) {
    CloseEditor();
    mView = NewView();
    if (!mView) {
        error = mPath + " has no editor";
        return false;
    }
    mView->setFrame(&mFrame);
    if (mView->attached(reinterpret_cast<void*>(static_cast<std::uintptr_t>(parentWindow)),
                        kPlatformTypeX11EmbedWindowID) != kResultOk) {
        mView->setFrame(nullptr);
        mView->release();
        mView = nullptr;
        error = mPath + " did not open its editor";
        return false;
    }
    return true;
}

void Vst3Instance::CloseEditor() {
    if (!mView) return;
    mView->removed();
    mView->setFrame(nullptr);
    mView->release();
    mView = nullptr;
}

void Vst3Instance::Close() {
    CloseEditor();
    if (mComponent) {
        Suspend();
        if (mComponentPoint && mControllerPoint) {
            mComponentPoint->disconnect(mControllerPoint);
            mControllerPoint->disconnect(mComponentPoint);
        }
        if (mComponentPoint) mComponentPoint->release();
        if (mControllerPoint) mControllerPoint->release();
        mComponentPoint = mControllerPoint = nullptr;
        if (mController) {
            mController->setComponentHandler(nullptr);
            if (mSeparateController) mController->terminate();
            mController->release();
            mController = nullptr;
        }
        if (mProcessor) mProcessor->release();
        mProcessor = nullptr;
        mComponent->terminate();
        mComponent->release();
        mComponent = nullptr;
    }
    mSeparateController = false;
    mParameters.clear();
    mModule.Close();
}
