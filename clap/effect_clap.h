// IEffectCLAP: the CLAP adapter. It wraps one plug-in (through the
// format-neutral PluginExporter), owns the clap_plugin record the host
// drives (plugin_record.cpp turns the record's slots and the extensions'
// tables into these member calls) and turns the plug-in's host services
// into CLAP events and host calls. Nothing of CLAP reaches the plug-in.
//
// Threads, as CLAP names them: the main thread (the host's GUI thread on
// Windows) for everything but the audio calls; the audio thread (any one
// thread at a time) for start/stop_processing, reset, process and, while
// active, params.flush. The audio calls hold the plug-in lock for their whole
// body. The main thread never holds it across anything that can take time
// or reach the host: stream reads and writes, host callbacks and the
// editor's window work all run without it, and the answers main-thread
// queries need most (parameter values, texts, latency) are kept where no
// lock guards them — values in atomics that every change under the lock
// refreshes, texts from the parameters' fixed declarations. The plug-in's
// requests of the host that arise under the lock (an edit, a latency change)
// are noted and sent once the lock is free.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "clap/clap_abi.h"
#include "clap/edit_queue.h"
#include "core/exporter.h"
#include "core/plugin_host.h"

class GuiTicker;

class IEffectCLAP final : public IPluginHost {
public:
    // host stays valid until after destroy (the host's promise); plugin may
    // not be null. The host is not called here: CLAP allows that only from
    // init on.
    IEffectCLAP(const clap_host* host, const clap_plugin_descriptor* descriptor, std::unique_ptr<IEffectBase> plugin);
    // Closes an editor the host left open, then deletes the plug-in.
    ~IEffectCLAP() override;
    IEffectCLAP(const IEffectCLAP&) = delete;
    IEffectCLAP& operator=(const IEffectCLAP&) = delete;

    const clap_plugin* Record() const { return &mRecord; }
    // The adapter behind a record, or null for a missing record.
    static IEffectCLAP* FromRecord(const clap_plugin* plugin) {
        return plugin ? static_cast<IEffectCLAP*>(plugin->plugin_data) : nullptr;
    }
    IEffectBase& Plugin() const { return *mExporter.Plugin(); }

    // ---- The record's slots. ----
    // Main thread: asks for the host's extensions (each may be missing:
    // a scanning host offers none), replays every parameter into the
    // plug-in and keeps the latency the host is told of first.
    bool Init();
    // Main thread, inactive: the rate and the largest block are fixed until
    // Deactivate. False for a rate that is not a positive number. Tells
    // the host when the latency differs from what it last heard.
    bool Activate(double rate, std::uint32_t minFrames, std::uint32_t maxFrames);
    // Main thread; also without StopProcessing first (hosts skip it).
    void Deactivate();
    // Audio thread.
    bool StartProcessing();
    void StopProcessing();
    // Audio thread: the chain keeps no state a reset may clear (the VST 2.4
    // build clears none either), so nothing changes.
    void Reset() {}
    // Audio thread: the block in slices between its events' times, each
    // event applied at its sample; then the editor's edits go out. Any
    // block length works, 0 included; missing ports and buffers are silence.
    std::int32_t Process(const clap_process& process);
    // Main thread: the answer to request_callback.
    void OnMainThread() { SendHostRequests(true); }
    // Any thread: the extension table for id, or null.
    const void* Extension(const char* id) const;

    // ---- Audio ports and their configurations (main thread). ----
    std::uint32_t PortCount(bool input) const;
    bool PortInfo(std::uint32_t index, bool input, clap_audio_port_info* info) const;
    std::uint32_t ConfigCount() const;
    bool ConfigInfo(std::uint32_t index, clap_audio_ports_config* config) const;
    // Only while inactive; the host then reads the ports again.
    bool SelectConfig(clap_id id);

    // ---- Parameters: ids are the plug-in's indexes, values plain. ----
    // Main thread, without the lock.
    std::uint32_t ParamCount() const;
    bool ParamInfo(std::uint32_t index, clap_param_info* info) const;
    bool ParamValue(clap_id id, double* value) const;
    bool ValueToText(clap_id id, double value, char* out, std::uint32_t capacity) const;
    bool TextToValue(clap_id id, const char* text, double* value) const;
    // Active: audio thread; inactive: main thread. The host's events, then
    // the editor's edits out.
    void Flush(const clap_input_events* in, const clap_output_events* out);

    // ---- State (main thread): the program chunk's bytes. ----
    bool SaveState(const clap_ostream* stream);
    // Refused whole (nothing changes) unless the stream holds a whole state.
    bool LoadState(const clap_istream* stream);

    // ---- Latency (main thread). ----
    // What the host is told; a change is reported from then on.
    std::uint32_t LatencySamples();

    // ---- Editor (main thread), clap_gui.cpp. ----
    bool IsApiSupported(const char* api, bool floating) const;
    bool PreferredApi(const char** api, bool* floating) const;
    bool CreateGui(const char* api, bool floating);
    void DestroyGui();
    bool GuiSize(std::uint32_t* width, std::uint32_t* height) const;
    bool AdjustGuiSize(std::uint32_t* width, std::uint32_t* height) const;
    bool SetGuiSize(std::uint32_t width, std::uint32_t height) const;
    // The host's scale for the window's physical pixels (2 = 200 %),
    // snapped to the editor's scales; sizes follow it from then on, and an
    // open window is made again at the new size. False before create or
    // for a scale that is not a positive number.
    bool SetGuiScale(double scale);
    // Opens the editor in the host's window at once (some hosts never call
    // show for an embedded editor).
    bool SetParent(const clap_window* window);
    bool ShowGui();
    // The window stays; its timers stop until ShowGui.
    bool HideGui();
    void OnTimer(clap_id timer);
    void OnFd(int fd, std::uint32_t flags);

    // ---- Host services (IPluginHost). ----
    // The editor's thread (BeginEdit and EndEdit without the lock,
    // PerformEdit inside SetParameterFromEditor with it): queued for the
    // host's next process or flush, which Tick asks the host for.
    void BeginEdit(int index) override;
    void PerformEdit(int index, double normalized) override;
    void EndEdit(int index) override;
    // Under the lock, off the audio thread.
    void LatencyChanged(int samples) override;
    // The editor's size changed with its scale (main thread): an open
    // window asks the host's gui extension for the new size.
    void EditorResized() override;

    // The main thread's timer work (clap_gui.cpp): the editor's idle where
    // the host drives it, then the host requests the edits raised.
    void Tick();

private:
    // Requests of the host noted where it may not be called (under the
    // lock, or on the audio thread), sent by SendHostRequests.
    enum HostRequest : unsigned { kRequestFlush = 1, kRequestRestart = 2 };
    void NoteHostRequest(HostRequest request) { mHostRequests.fetch_or(request); }
    // mainThread: everything noted; otherwise only what the audio thread
    // may ask (a restart). Never under the lock.
    void SendHostRequests(bool mainThread);

    template <typename Extension>
    const Extension* HostExtension(const char* id) const;
    // Lock held: a host's plain value for parameter index, as a value the
    // parameter can hold; the editor and the value mirror follow.
    void ApplyPlainValue(int index, double value);
    // Lock held: one event from the host (only parameter values are taken).
    void ApplyEvent(const clap_event_header& event);
    void ApplyEvents(const clap_input_events* in, std::uint32_t from, std::uint32_t to);
    // Audio or flush thread: the queued edits as events at time 0.
    void SendEdits(const clap_output_events* out);
    // Lock held: the value mirror from every parameter.
    void RefreshValues();
    // The main inputs and outputs the selected configuration connects.
    int Channels() const;
    template <typename T>
    void RunSlice(const clap_process& process, std::uint32_t from, std::uint32_t to);

    // The editor's window (clap_gui.cpp).
    bool StartGuiTimers();
    void StopGuiTimers();

    clap_plugin mRecord{};
    const clap_host* mHost;
    // The host's extensions (null where it has none), from Init on.
    const clap_host_params* mHostParams = nullptr;
    const clap_host_latency* mHostLatency = nullptr;
    const clap_host_audio_ports* mHostPorts = nullptr;
    const clap_host_timer_support* mHostTimers = nullptr;
    const clap_host_posix_fd_support* mHostFds = nullptr;
    const clap_host_gui* mHostGui = nullptr;

    std::atomic<bool> mActive{false};  // set on the main thread, read by the audio calls too
    bool mActivating = false;          // main thread, inside Activate
    std::atomic<bool> mProcessing{false};
    int mConfig = 0;  // index into the configurations; main thread, inactive
    std::atomic<int> mLatency{0};
    int mReportedLatency = -1;  // main thread: what latency.get answered last; -1: never asked
    std::atomic<unsigned> mHostRequests{0};

    // Every parameter's plain value as the plug-in holds it: stored under
    // the lock wherever a value changes, read without it.
    std::unique_ptr<std::atomic<double>[]> mValues;
    EditQueue mEdits;
    IStateChunk mStateChunk;  // main thread: the bytes of one save or load

    // The editor (main thread).
    bool mGuiCreated = false;
    bool mEditorOpen = false;
    bool mGuiShown = false;
    clap_id mTimer = kClapInvalidId;
    int mFd = -1;
    std::unique_ptr<GuiTicker> mTicker;

    // Last: the plug-in goes first, while everything it may call still exists.
    PluginExporter mExporter;
};
