#include "vst3/effect_vst3.h"

#include <cmath>
#include <new>

#include "core/creation_lock.h"
#include "core/plugin_factory.h"
#include "vst3/plug_view.h"
#include "vst3/vst3_stream.h"

IEffectVST3* IEffectVST3::Create() {
    LockGuard guard(CreationLock());
    try {
        std::unique_ptr<IEffectBase> plugin = CreatePluginInstance();
        if (!plugin) return nullptr;
        // Slots the plug-in left unset get the default state, as in every
        // format.
        plugin->FillUnsetPresets("Empty", plugin->PresetCount());
        return new IEffectVST3(std::move(plugin));
    } catch (...) {
        return nullptr;  // out of memory: the host gets no instance
    }
}

IEffectVST3::IEffectVST3(std::unique_ptr<IEffectBase> plugin) : mExporter(std::move(plugin), this) {
    IEffectBase& p = Plugin();
    mControllerValues = std::make_unique<std::atomic<double>[]>(static_cast<std::size_t>(p.ParamCount()));
    // A new instance: every coefficient from its parameter, as a VST 2.4
    // host's effOpen has it.
    for (int i = 0; i < p.ParamCount(); ++i) p.OnParameterChange(i);
    ControllerFollowsPlugin();
}

IEffectVST3::~IEffectVST3() {
    SetHandler(nullptr);
    if (mHostContext) mHostContext->release();
}

vst3::tresult IEffectVST3::QueryInterface(const char* iid, void** obj) {
    if (!obj) return vst3::kInvalidArgument;
    *obj = nullptr;
    if (!iid) return vst3::kInvalidArgument;
    using namespace vst3;
    if (SameUid(iid, kFUnknownIid) || SameUid(iid, kIPluginBaseIid) || SameUid(iid, kIComponentIid)) {
        *obj = static_cast<IComponent*>(&mComponent);
    } else if (SameUid(iid, kIAudioProcessorIid)) {
        *obj = static_cast<IAudioProcessor*>(&mProcessor);
    } else if (SameUid(iid, kIProcessContextRequirementsIid)) {
        *obj = static_cast<IProcessContextRequirements*>(&mContextRequirements);
    } else if (SameUid(iid, kIEditControllerIid)) {
        *obj = static_cast<IEditController*>(&mController);
    } else {
        return kNoInterface;
    }
    AddRef();
    return kResultOk;
}

std::uint32_t IEffectVST3::AddRef() { return mReferences.fetch_add(1, std::memory_order_relaxed) + 1; }

std::uint32_t IEffectVST3::Release() {
    const std::uint32_t left = mReferences.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

vst3::tresult IEffectVST3::Initialize(vst3::FUnknown* context) {
    if (mInitialized++ == 0 && context) {
        context->addRef();
        mHostContext = context;
    }
    return vst3::kResultOk;
}

vst3::tresult IEffectVST3::Terminate() {
    if (mInitialized == 0) return vst3::kResultOk;
    if (--mInitialized == 0) {
        SetHandler(nullptr);
        if (mHostContext) mHostContext->release();
        mHostContext = nullptr;
    }
    return vst3::kResultOk;
}

void IEffectVST3::SetHandler(vst3::IComponentHandler* handler) {
    if (handler == mHandler) return;
    if (handler) handler->addRef();
    if (mHandler) mHandler->release();
    mHandler = handler;
}

void IEffectVST3::SetChannels(int channels) {
    IEffectBase& p = Plugin();
    LockGuard guard(p.Lock());
    mChannels.store(channels, std::memory_order_relaxed);
    // The rest are fed silence and their outputs dropped, as a mono VST 2.4
    // host arranges it.
    for (int i = 0; i < p.InputCount(); ++i) p.SetInputConnected(i, i < channels);
    for (int i = 0; i < p.OutputCount(); ++i) p.SetOutputConnected(i, i < channels);
}

double IEffectVST3::ControllerValue(int index) const {
    if (index < 0 || index >= mExporter.Plugin()->ParamCount()) return 0.0;
    return mControllerValues[static_cast<std::size_t>(index)].load(std::memory_order_relaxed);
}

void IEffectVST3::SetControllerValue(int index, double normalized) {
    if (index < 0 || index >= Plugin().ParamCount() || std::isnan(normalized)) return;
    normalized = normalized < 0.0 ? 0.0 : (normalized > 1.0 ? 1.0 : normalized);
    mControllerValues[static_cast<std::size_t>(index)].store(normalized, std::memory_order_relaxed);
}

void IEffectVST3::ControllerFollowsPlugin() {
    for (int i = 0; i < Plugin().ParamCount(); ++i) SetControllerValue(i, mExporter.ParameterNormalized(i));
}

void IEffectVST3::ReportLatencyChange() {
    if (!mLatencyPending.exchange(false)) return;
    if (mHandler) mHandler->restartComponent(vst3::kLatencyChanged);
}

void IEffectVST3::BeginEdit(int index) {
    if (mHandler) mHandler->beginEdit(static_cast<vst3::ParamID>(index));
}

void IEffectVST3::PerformEdit(int index, double normalized) {
    SetControllerValue(index, normalized);
    if (mHandler) mHandler->performEdit(static_cast<vst3::ParamID>(index), normalized);
}

void IEffectVST3::EndEdit(int index) {
    if (mHandler) mHandler->endEdit(static_cast<vst3::ParamID>(index));
}

bool IEffectVST3::IsOfflineRender() { return mProcessMode.load(std::memory_order_relaxed) == vst3::kOffline; }

// Under the plug-in lock, inside a reset: the host hears of it once that
// call has returned (hosts re-read the latency from restartComponent, and
// may deactivate the plug-in there).
void IEffectVST3::LatencyChanged(int /*samples*/) { mLatencyPending.store(true); }

void IEffectVST3::EditorResized() {
    if (mAttachedView) mAttachedView->EditorResized();
}

bool IEffectVST3::ReadState(vst3::IBStream* stream, IStateChunk& chunk) {
    // The length of a chunk this version saves: reading no further leaves
    // whatever a host stored after it where it was.
    IStateChunk saved;
    if (!stream || !mExporter.SaveProgram(saved) || !chunk.Resize(saved.Length())) return false;
    if (ReadStream(stream, chunk.Data(), chunk.Length()) != chunk.Length()) return false;
    // A chunk without our header is not one of ours: VST 3 states have
    // always been written with it.
    int position = 0;
    return ReadStateHeader(chunk, position) != 0 && position > 0;
}
