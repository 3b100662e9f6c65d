#include "clap/effect_clap.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "clap/gui_ticker.h"
#include "clap/plugin_record.h"

namespace {

// Room for the edits of a fast drag between two blocks and far more: a full
// ring loses nothing (edit_queue.h), it only sends the latest values.
constexpr int kEditCapacity = 512;

// Scratch buffers beyond this are not worth their memory: a longer block is
// run in slices, with the same result.
constexpr std::uint32_t kLargestScratchBlock = 16384;

}  // namespace

IEffectCLAP::IEffectCLAP(const clap_host* host, const clap_plugin_descriptor* descriptor,
                         std::unique_ptr<IEffectBase> plugin)
    : mHost(host),
      mValues(new std::atomic<double>[static_cast<std::size_t>(plugin->ParamCount())]),
      mEdits(plugin->ParamCount(), kEditCapacity),
      mExporter(std::move(plugin), this) {
    FillPluginRecord(mRecord, descriptor, this);
    IEffectBase& p = Plugin();
    for (int i = 0; i < p.ParamCount(); ++i) mValues[i].store(p.GetParam(i)->Value());
    mLatency.store(p.Latency());
}

IEffectCLAP::~IEffectCLAP() {
    // Hosts are known to destroy a plug-in with its editor still open.
    DestroyGui();
}

template <typename Extension>
const Extension* IEffectCLAP::HostExtension(const char* id) const {
    if (!mHost || !mHost->get_extension) return nullptr;
    return static_cast<const Extension*>(mHost->get_extension(mHost, id));
}

bool IEffectCLAP::Init() {
    // A table with a missing slot counts as no table: nothing here ever
    // calls through a null pointer a host left in one.
    mHostParams = HostExtension<clap_host_params>(kClapExtParams);
    if (mHostParams && (!mHostParams->rescan || !mHostParams->request_flush)) mHostParams = nullptr;
    mHostLatency = HostExtension<clap_host_latency>(kClapExtLatency);
    if (mHostLatency && !mHostLatency->changed) mHostLatency = nullptr;
    mHostPorts = HostExtension<clap_host_audio_ports>(kClapExtAudioPorts);
    if (mHostPorts && (!mHostPorts->rescan || !mHostPorts->is_rescan_flag_supported)) mHostPorts = nullptr;
    mHostTimers = HostExtension<clap_host_timer_support>(kClapExtTimerSupport);
    if (mHostTimers && (!mHostTimers->register_timer || !mHostTimers->unregister_timer)) mHostTimers = nullptr;
    mHostFds = HostExtension<clap_host_posix_fd_support>(kClapExtPosixFdSupport);
    mHostGui = HostExtension<clap_host_gui>(kClapExtGui);
    if (mHostGui && !mHostGui->request_resize) mHostGui = nullptr;
    if (mHostFds && (!mHostFds->register_fd || !mHostFds->unregister_fd)) mHostFds = nullptr;

    IEffectBase& p = Plugin();
    LockGuard guard(p.Lock());
    p.OnHostKnown();
    // As a VST 2.4 host's effOpen does: every coefficient from its value.
    for (int i = 0; i < p.ParamCount(); ++i) p.OnParameterChange(i);
    return true;
}

bool IEffectCLAP::Activate(double rate, std::uint32_t minFrames, std::uint32_t maxFrames) {
    (void)minFrames;  // blocks of any length below the largest are run as they come
    if (mActive || !std::isfinite(rate) || rate <= 0.0 || maxFrames == 0) return false;
    mActivating = true;
    mExporter.SetSampleRate(rate);
    mExporter.SetBlockSize(maxFrames < kLargestScratchBlock ? maxFrames : kLargestScratchBlock);
    mExporter.SetActive(true);
    mActivating = false;
    mActive = true;
    // Only a latency that differs from what the host was told is reported
    // (one that never asked has been told nothing): a host restarts the
    // plug-in on every report, and one known host drops the automation of
    // its parameters then.
    const int latency = mLatency.load();
    if (mReportedLatency >= 0 && latency != mReportedLatency) {
        mReportedLatency = latency;
        if (mHostLatency) mHostLatency->changed(mHost);
    }
    return true;
}

void IEffectCLAP::Deactivate() {
    if (!mActive) return;
    mProcessing = false;
    mExporter.SetActive(false);
    mActive = false;
}

bool IEffectCLAP::StartProcessing() {
    if (!mActive) return false;
    mProcessing = true;
    return true;
}

void IEffectCLAP::StopProcessing() { mProcessing = false; }

void IEffectCLAP::SendHostRequests(bool mainThread) {
    const unsigned wanted = mainThread ? (kRequestFlush | kRequestRestart) : kRequestRestart;
    const unsigned requests = mHostRequests.fetch_and(~wanted) & wanted;
    if ((requests & kRequestRestart) && mHost && mHost->request_restart) mHost->request_restart(mHost);
    if ((requests & kRequestFlush) && mHostParams) mHostParams->request_flush(mHost);
}

// The host is asked to flush at the next tick of the editor's timer: the
// edits come from the editor, whose timer runs while it is open.
void IEffectCLAP::BeginEdit(int index) {
    mEdits.Begin(index);
    NoteHostRequest(kRequestFlush);
}

void IEffectCLAP::PerformEdit(int index, double /*normalized*/) {
    // The value the parameter took (the base has set it): what the plug-in
    // runs with is what the host records.
    const IParameter* param = Plugin().GetParam(index);
    if (!param) return;
    mValues[index].store(param->Value());
    mEdits.Value(index, param->Value());
    NoteHostRequest(kRequestFlush);
}

void IEffectCLAP::EndEdit(int index) {
    mEdits.End(index);
    NoteHostRequest(kRequestFlush);
}

void IEffectCLAP::LatencyChanged(int samples) {
    mLatency.store(samples < 0 ? 0 : samples);
    // While active the host must restart the plug-in to hear of it; inside
    // Activate (a new rate) the report follows there; while inactive the
    // next Activate reports it.
    if (mActive && !mActivating && mReportedLatency >= 0 && samples != mReportedLatency) {
        NoteHostRequest(kRequestRestart);
    }
}

void IEffectCLAP::RefreshValues() {
    IEffectBase& p = Plugin();
    for (int i = 0; i < p.ParamCount(); ++i) mValues[i].store(p.GetParam(i)->Value());
}

std::uint32_t IEffectCLAP::LatencySamples() {
    mReportedLatency = mLatency.load();
    return static_cast<std::uint32_t>(mReportedLatency);
}

const void* IEffectCLAP::Extension(const char* id) const { return PluginExtension(id, mExporter.HasEditor()); }
