// IEffectVST3: the VST 3 adapter. One object answers for the processor and
// the controller of one plug-in instance (the factory lists one class): it
// wraps the plug-in through PluginExporter and hands the host one small part
// per interface (IComponent, IAudioProcessor, IProcessContextRequirements,
// IEditController), which all share its reference count. Each part
// translates its interface's calls and nothing more (component.cpp,
// processor.cpp, controller.cpp); the editor's view is plug_view.h.
//
// Two interfaces declare setState/getState and initialize/terminate with the
// same signature, so each interface is implemented by its own class: the
// host's controller->setState never lands in the component's.
//
// Threads: as hosts call VST 3. The audio thread calls process (and may call
// setProcessing); every other call comes from the host's UI thread. Host
// calls that reach the plug-in hold its lock through the exporter, except
// the editor's window work. The controller's view of the parameters (what
// the host set through setParamNormalized, or the editor's gestures) is kept
// apart from the values the audio runs with, which change only through
// process (sample-accurately), a state load or the editor: a late UI-thread
// update from a host can never overwrite automation that already played.
#pragma once

#include <atomic>
#include <memory>

#include "core/exporter.h"
#include "core/plugin_host.h"
#include "vst3/vst3_abi.h"

class IEffectVST3;
class VST3View;

// One interface of the adapter: FUnknown forwards to the owner, so every
// part answers every interface and counts references on the one object.
template <typename Interface>
class VST3Part : public Interface {
public:
    explicit VST3Part(IEffectVST3& owner) : mOwner(owner) {}
    vst3::tresult queryInterface(const char* iid, void** obj) override;
    std::uint32_t addRef() override;
    std::uint32_t release() override;

protected:
    IEffectVST3& mOwner;
};

// IPluginBase for the component and the controller alike: hosts that find
// the controller on the component initialise and terminate it twice.
template <typename Interface>
class VST3BasePart : public VST3Part<Interface> {
public:
    using VST3Part<Interface>::VST3Part;
    vst3::tresult initialize(vst3::FUnknown* context) override;
    vst3::tresult terminate() override;
};

class VST3Component final : public VST3BasePart<vst3::IComponent> {
public:
    using VST3BasePart::VST3BasePart;
    vst3::tresult getControllerClassId(char* classId) override;
    vst3::tresult setIoMode(std::int32_t mode) override;
    std::int32_t getBusCount(std::int32_t type, std::int32_t dir) override;
    vst3::tresult getBusInfo(std::int32_t type, std::int32_t dir, std::int32_t index, vst3::BusInfo* bus) override;
    vst3::tresult getRoutingInfo(vst3::RoutingInfo* inInfo, vst3::RoutingInfo* outInfo) override;
    vst3::tresult activateBus(std::int32_t type, std::int32_t dir, std::int32_t index, vst3::TBool state) override;
    vst3::tresult setActive(vst3::TBool state) override;
    // The program chunk, the same bytes the VST 2.4 build saves. A stream
    // that does not hold a whole one of ours is refused, nothing changed.
    vst3::tresult setState(vst3::IBStream* state) override;
    vst3::tresult getState(vst3::IBStream* state) override;
};

class VST3Processor final : public VST3Part<vst3::IAudioProcessor> {
public:
    using VST3Part::VST3Part;
    // One main bus each way, mono or stereo, both the same.
    vst3::tresult setBusArrangements(vst3::SpeakerArrangement* inputs, std::int32_t numIns,
                                     vst3::SpeakerArrangement* outputs, std::int32_t numOuts) override;
    vst3::tresult getBusArrangement(std::int32_t dir, std::int32_t index, vst3::SpeakerArrangement* arr) override;
    vst3::tresult canProcessSampleSize(std::int32_t symbolicSampleSize) override;
    std::uint32_t getLatencySamples() override;
    vst3::tresult setupProcessing(vst3::ProcessSetup* setup) override;
    // Either thread; only a flag is stored.
    vst3::tresult setProcessing(vst3::TBool state) override;
    // Audio thread. Parameter points take effect at their sample offsets: the
    // block is run in pieces between them. A flush call (no samples) only
    // applies the points. Nothing here allocates.
    vst3::tresult process(vst3::ProcessData* data) override;
    std::uint32_t getTailSamples() override;
};

class VST3ContextRequirements final : public VST3Part<vst3::IProcessContextRequirements> {
public:
    using VST3Part::VST3Part;
    // Nothing: the chain keeps no musical time.
    std::uint32_t getProcessContextRequirements() override { return 0; }
};

class VST3Controller final : public VST3BasePart<vst3::IEditController> {
public:
    using VST3BasePart::VST3BasePart;
    // The component's bytes: the controller's values follow them; the audio
    // and the host are not touched. Refused as setState refuses.
    vst3::tresult setComponentState(vst3::IBStream* state) override;
    // The controller keeps nothing of its own: it writes nothing and accepts
    // any stream (some hosts hand it the component's, read to its end).
    vst3::tresult setState(vst3::IBStream* state) override;
    vst3::tresult getState(vst3::IBStream* state) override;
    std::int32_t getParameterCount() override;
    vst3::tresult getParameterInfo(std::int32_t paramIndex, vst3::ParameterInfo* info) override;
    vst3::tresult getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                        vst3::char16* string) override;
    vst3::tresult getParamValueByString(vst3::ParamID id, vst3::char16* string,
                                        vst3::ParamValue* valueNormalized) override;
    vst3::ParamValue normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
    vst3::ParamValue plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
    vst3::ParamValue getParamNormalized(vst3::ParamID id) override;
    vst3::tresult setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult setComponentHandler(vst3::IComponentHandler* handler) override;
    // "editor" (or no name): a new view, or null when this build has no
    // window system.
    vst3::IPlugView* createView(vst3::FIDString name) override;
};

class IEffectVST3 final : public IPluginHost {
public:
    // Under the process-wide creation lock: a new instance holding one
    // reference, or null when the plug-in cannot be made.
    static IEffectVST3* Create();
    IEffectVST3(const IEffectVST3&) = delete;
    IEffectVST3& operator=(const IEffectVST3&) = delete;

    // FUnknown of every part: the part that implements iid (the component
    // for FUnknown and IPluginBase), with a reference added.
    vst3::tresult QueryInterface(const char* iid, void** obj);
    std::uint32_t AddRef();
    // The last release deletes the instance.
    std::uint32_t Release();

    PluginExporter& Exporter() { return mExporter; }
    IEffectBase& Plugin() { return *mExporter.Plugin(); }

    // ---- Shared by the parts (UI thread unless said otherwise). ----
    // IPluginBase: counted, since one object is initialised as component and
    // as controller. The first initialize keeps the host's context.
    vst3::tresult Initialize(vst3::FUnknown* context);
    vst3::tresult Terminate();
    vst3::FUnknown* HostContext() const { return mHostContext; }
    vst3::IComponentHandler* Handler() const { return mHandler; }
    void SetHandler(vst3::IComponentHandler* handler);
    // Channels of both main buses (1 or 2); any thread.
    int Channels() const { return mChannels.load(std::memory_order_relaxed); }
    void SetChannels(int channels);
    void SetProcessMode(std::int32_t mode) { mProcessMode.store(mode, std::memory_order_relaxed); }
    void SetProcessing(bool on) { mProcessing.store(on, std::memory_order_relaxed); }
    // The controller's normalised value of each parameter (any thread).
    double ControllerValue(int index) const;
    void SetControllerValue(int index, double normalized);
    // The controller's values from the plug-in's own (after a state load).
    void ControllerFollowsPlugin();
    // Reads one program chunk of ours from the stream's position into chunk:
    // exactly as many bytes as a saved one has, starting with its header.
    // False when the stream holds fewer or another kind of data.
    bool ReadState(vst3::IBStream* stream, IStateChunk& chunk);
    // Tells the host about a latency change the plug-in made since the last
    // call: from UI-thread calls only, after the plug-in lock is given up.
    void ReportLatencyChange();

    // The view whose window the editor is open in, or null: a plug-in has
    // one editor, so a second view cannot attach while one is.
    VST3View* AttachedView() const { return mAttachedView; }
    void SetAttachedView(VST3View* view) { mAttachedView = view; }

    // ---- Host services (IPluginHost). ----
    void BeginEdit(int index) override;
    // The controller's value first, then the host (some hosts read it back).
    void PerformEdit(int index, double normalized) override;
    void EndEdit(int index) override;
    bool IsOfflineRender() override;
    // Remembered; ReportLatencyChange passes it on from the UI thread.
    void LatencyChanged(int samples) override;
    // The editor's scale changed its size (the host's content scale, UI
    // thread): the attached view asks the host's frame for the new size.
    void EditorResized() override;

private:
    IEffectVST3(std::unique_ptr<IEffectBase> plugin);
    ~IEffectVST3() override;

    std::atomic<std::uint32_t> mReferences{1};
    int mInitialized = 0;
    vst3::FUnknown* mHostContext = nullptr;
    vst3::IComponentHandler* mHandler = nullptr;
    VST3View* mAttachedView = nullptr;
    std::atomic<int> mChannels{2};
    std::atomic<std::int32_t> mProcessMode{vst3::kRealtime};
    std::atomic<bool> mProcessing{false};
    std::atomic<bool> mLatencyPending{false};
    std::unique_ptr<std::atomic<double>[]> mControllerValues;

    VST3Component mComponent{*this};
    VST3Processor mProcessor{*this};
    VST3ContextRequirements mContextRequirements{*this};
    VST3Controller mController{*this};
    // Last: the plug-in and its editor go first.
    PluginExporter mExporter;
};

template <typename Interface>
vst3::tresult VST3Part<Interface>::queryInterface(const char* iid, void** obj) {
    return mOwner.QueryInterface(iid, obj);
}
template <typename Interface>
std::uint32_t VST3Part<Interface>::addRef() {
    return mOwner.AddRef();
}
template <typename Interface>
std::uint32_t VST3Part<Interface>::release() {
    return mOwner.Release();
}
template <typename Interface>
vst3::tresult VST3BasePart<Interface>::initialize(vst3::FUnknown* context) {
    return this->mOwner.Initialize(context);
}
template <typename Interface>
vst3::tresult VST3BasePart<Interface>::terminate() {
    return this->mOwner.Terminate();
}
