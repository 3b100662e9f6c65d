#include "clap/plugin_record.h"

#include <cstring>

#include "clap/effect_clap.h"

namespace {

// Calls f on the adapter behind plugin; fallback when there is none or f
// throws (a failed allocation must not unwind into the host).
template <typename R, typename F>
R With(const clap_plugin* plugin, R fallback, F f) {
    IEffectCLAP* adapter = IEffectCLAP::FromRecord(plugin);
    if (!adapter) return fallback;
    try {
        return f(*adapter);
    } catch (...) {
        return fallback;
    }
}

template <typename F>
void With(const clap_plugin* plugin, F f) {
    IEffectCLAP* adapter = IEffectCLAP::FromRecord(plugin);
    if (!adapter) return;
    try {
        f(*adapter);
    } catch (...) {
    }
}

// ---- The record ----

bool Init(const clap_plugin* p) {
    return With(p, false, [](IEffectCLAP& a) { return a.Init(); });
}

void Destroy(const clap_plugin* p) { delete IEffectCLAP::FromRecord(p); }

bool Activate(const clap_plugin* p, double rate, std::uint32_t minFrames, std::uint32_t maxFrames) {
    return With(p, false, [&](IEffectCLAP& a) { return a.Activate(rate, minFrames, maxFrames); });
}

void Deactivate(const clap_plugin* p) {
    With(p, [](IEffectCLAP& a) { a.Deactivate(); });
}

bool StartProcessing(const clap_plugin* p) {
    return With(p, false, [](IEffectCLAP& a) { return a.StartProcessing(); });
}

void StopProcessing(const clap_plugin* p) {
    With(p, [](IEffectCLAP& a) { a.StopProcessing(); });
}

void Reset(const clap_plugin* p) {
    With(p, [](IEffectCLAP& a) { a.Reset(); });
}

std::int32_t Process(const clap_plugin* p, const clap_process* process) {
    if (!process) return kClapProcessError;
    return With(p, static_cast<std::int32_t>(kClapProcessError), [&](IEffectCLAP& a) { return a.Process(*process); });
}

const void* GetExtension(const clap_plugin* p, const char* id) {
    return With(p, static_cast<const void*>(nullptr), [&](IEffectCLAP& a) { return a.Extension(id); });
}

void OnMainThread(const clap_plugin* p) {
    With(p, [](IEffectCLAP& a) { a.OnMainThread(); });
}

// ---- Audio ports and configurations ----

std::uint32_t PortCount(const clap_plugin* p, bool input) {
    return With(p, 0u, [&](IEffectCLAP& a) { return a.PortCount(input); });
}

bool PortGet(const clap_plugin* p, std::uint32_t index, bool input, clap_audio_port_info* info) {
    return With(p, false, [&](IEffectCLAP& a) { return a.PortInfo(index, input, info); });
}

std::uint32_t ConfigCount(const clap_plugin* p) {
    return With(p, 0u, [](IEffectCLAP& a) { return a.ConfigCount(); });
}

bool ConfigGet(const clap_plugin* p, std::uint32_t index, clap_audio_ports_config* config) {
    return With(p, false, [&](IEffectCLAP& a) { return a.ConfigInfo(index, config); });
}

bool ConfigSelect(const clap_plugin* p, clap_id id) {
    return With(p, false, [&](IEffectCLAP& a) { return a.SelectConfig(id); });
}

// ---- Parameters ----

std::uint32_t ParamCount(const clap_plugin* p) {
    return With(p, 0u, [](IEffectCLAP& a) { return a.ParamCount(); });
}

bool ParamInfo(const clap_plugin* p, std::uint32_t index, clap_param_info* info) {
    return With(p, false, [&](IEffectCLAP& a) { return a.ParamInfo(index, info); });
}

bool ParamValue(const clap_plugin* p, clap_id id, double* value) {
    return With(p, false, [&](IEffectCLAP& a) { return a.ParamValue(id, value); });
}

bool ValueToText(const clap_plugin* p, clap_id id, double value, char* out, std::uint32_t capacity) {
    return With(p, false, [&](IEffectCLAP& a) { return a.ValueToText(id, value, out, capacity); });
}

bool TextToValue(const clap_plugin* p, clap_id id, const char* text, double* value) {
    return With(p, false, [&](IEffectCLAP& a) { return a.TextToValue(id, text, value); });
}

void Flush(const clap_plugin* p, const clap_input_events* in, const clap_output_events* out) {
    With(p, [&](IEffectCLAP& a) { a.Flush(in, out); });
}

// ---- State and latency ----

bool StateSave(const clap_plugin* p, const clap_ostream* stream) {
    return With(p, false, [&](IEffectCLAP& a) { return a.SaveState(stream); });
}

bool StateLoad(const clap_plugin* p, const clap_istream* stream) {
    return With(p, false, [&](IEffectCLAP& a) { return a.LoadState(stream); });
}

std::uint32_t LatencyGet(const clap_plugin* p) {
    return With(p, 0u, [](IEffectCLAP& a) { return a.LatencySamples(); });
}

// ---- Editor ----

bool GuiIsApiSupported(const clap_plugin* p, const char* api, bool floating) {
    return With(p, false, [&](IEffectCLAP& a) { return a.IsApiSupported(api, floating); });
}

bool GuiPreferredApi(const clap_plugin* p, const char** api, bool* floating) {
    return With(p, false, [&](IEffectCLAP& a) { return a.PreferredApi(api, floating); });
}

bool GuiCreate(const clap_plugin* p, const char* api, bool floating) {
    return With(p, false, [&](IEffectCLAP& a) { return a.CreateGui(api, floating); });
}

void GuiDestroy(const clap_plugin* p) {
    With(p, [](IEffectCLAP& a) { a.DestroyGui(); });
}

bool GuiSetScale(const clap_plugin* p, double scale) {
    return With(p, false, [&](IEffectCLAP& a) { return a.SetGuiScale(scale); });
}

bool GuiGetSize(const clap_plugin* p, std::uint32_t* width, std::uint32_t* height) {
    return With(p, false, [&](IEffectCLAP& a) { return a.GuiSize(width, height); });
}

bool GuiCanResize(const clap_plugin*) { return false; }

bool GuiResizeHints(const clap_plugin*, clap_gui_resize_hints* hints) {
    // Answered, not refused: a host that gets no hints says it cannot show
    // the editor.
    if (!hints) return false;
    std::memset(hints, 0, sizeof *hints);
    return true;
}

bool GuiAdjustSize(const clap_plugin* p, std::uint32_t* width, std::uint32_t* height) {
    return With(p, false, [&](IEffectCLAP& a) { return a.AdjustGuiSize(width, height); });
}

bool GuiSetSize(const clap_plugin* p, std::uint32_t width, std::uint32_t height) {
    return With(p, false, [&](IEffectCLAP& a) { return a.SetGuiSize(width, height); });
}

bool GuiSetParent(const clap_plugin* p, const clap_window* window) {
    return With(p, false, [&](IEffectCLAP& a) { return a.SetParent(window); });
}

// Floating windows are not offered.
bool GuiSetTransient(const clap_plugin*, const clap_window*) { return false; }
void GuiSuggestTitle(const clap_plugin*, const char*) {}

bool GuiShow(const clap_plugin* p) {
    return With(p, false, [](IEffectCLAP& a) { return a.ShowGui(); });
}

bool GuiHide(const clap_plugin* p) {
    return With(p, false, [](IEffectCLAP& a) { return a.HideGui(); });
}

void OnTimer(const clap_plugin* p, clap_id timer) {
    With(p, [&](IEffectCLAP& a) { a.OnTimer(timer); });
}

void OnFd(const clap_plugin* p, int fd, std::uint32_t flags) {
    With(p, [&](IEffectCLAP& a) { a.OnFd(fd, flags); });
}

const clap_plugin_audio_ports kAudioPorts = {PortCount, PortGet};
const clap_plugin_audio_ports_config kAudioPortsConfig = {ConfigCount, ConfigGet, ConfigSelect};
const clap_plugin_params kParams = {ParamCount, ParamInfo, ParamValue, ValueToText, TextToValue, Flush};
const clap_plugin_state kState = {StateSave, StateLoad};
const clap_plugin_latency kLatency = {LatencyGet};
const clap_plugin_gui kGui = {GuiIsApiSupported, GuiPreferredApi, GuiCreate,       GuiDestroy,    GuiSetScale,
                              GuiGetSize,        GuiCanResize,    GuiResizeHints,  GuiAdjustSize, GuiSetSize,
                              GuiSetParent,      GuiSetTransient, GuiSuggestTitle, GuiShow,       GuiHide};
const clap_plugin_timer_support kTimerSupport = {OnTimer};
const clap_plugin_posix_fd_support kPosixFdSupport = {OnFd};

}  // namespace

void FillPluginRecord(clap_plugin& record, const clap_plugin_descriptor* descriptor, IEffectCLAP* adapter) {
    record.desc = descriptor;
    record.plugin_data = adapter;
    record.init = Init;
    record.destroy = Destroy;
    record.activate = Activate;
    record.deactivate = Deactivate;
    record.start_processing = StartProcessing;
    record.stop_processing = StopProcessing;
    record.reset = Reset;
    record.process = Process;
    record.get_extension = GetExtension;
    record.on_main_thread = OnMainThread;
}

const void* PluginExtension(const char* id, bool hasEditor) {
    if (!id) return nullptr;
    struct Entry {
        const char* id;
        const void* table;
        bool editor;
    };
    static const Entry kExtensions[] = {
        {kClapExtAudioPorts, &kAudioPorts, false},
        {kClapExtAudioPortsConfig, &kAudioPortsConfig, false},
        {kClapExtParams, &kParams, false},
        {kClapExtState, &kState, false},
        {kClapExtLatency, &kLatency, false},
        {kClapExtGui, &kGui, true},
#if !defined(_WIN32)
        // Where the host drives the editor: its timer for the repaints, the
        // editor's X connection for its events.
        {kClapExtTimerSupport, &kTimerSupport, true},
        {kClapExtPosixFdSupport, &kPosixFdSupport, true},
#endif
    };
    for (const Entry& e : kExtensions) {
        if (std::strcmp(id, e.id) == 0) return (!e.editor || hasEditor) ? e.table : nullptr;
    }
    return nullptr;
}
