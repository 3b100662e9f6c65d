// The CLAP 1.x binary interface as plug-in and host see it: the entry
// object, the plug-in factory and descriptor, the plug-in and host records,
// processing and events, and the extensions Velmor offers or asks for.
//
// Written from the published layout facts so that the plug-in, velmor-host
// and the tests share one declaration. Every struct has its natural C layout
// (no packing pragmas in the interface); the one type whose size differs
// between the two data models is `unsigned long`, the X11 window id inside
// clap_window (8 bytes on LP64 Linux, 4 on LLP64 Windows, in an 8-byte
// union either way). Every size and offset is checked below for both.
// Functions use the platform's one C calling convention (x64 ignores
// __cdecl), so no convention macro is needed.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---- Version ----

struct clap_version_t {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t revision;
};

// What this code base was written against; any 1.x host loads any 1.x
// plug-in, so entry and descriptors carry the same value.
constexpr clap_version_t kClapVersion = {1, 2, 2};

inline bool ClapVersionIsCompatible(const clap_version_t& v) { return v.major >= 1; }

using clap_id = std::uint32_t;
constexpr clap_id kClapInvalidId = 0xFFFFFFFFu;

constexpr std::uint32_t kClapNameSize = 256;
constexpr std::uint32_t kClapPathSize = 1024;

// ---- Entry and factory ----

struct clap_plugin_entry {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

constexpr const char kClapPluginFactoryId[] = "clap.plugin-factory";

struct clap_host;
struct clap_plugin;
struct clap_plugin_descriptor;

struct clap_plugin_factory {
    std::uint32_t (*get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor* (*get_plugin_descriptor)(const clap_plugin_factory* factory, std::uint32_t index);
    const clap_plugin* (*create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                        const char* plugin_id);
};

struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
};

// ---- Host and plug-in records ----

struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host* host, const char* extension_id);
    void (*request_restart)(const clap_host* host);
    void (*request_process)(const clap_host* host);
    void (*request_callback)(const clap_host* host);
};

struct clap_process;

struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin* plugin);
    void (*destroy)(const clap_plugin* plugin);
    bool (*activate)(const clap_plugin* plugin, double sample_rate, std::uint32_t min_frames_count,
                     std::uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin* plugin);
    bool (*start_processing)(const clap_plugin* plugin);
    void (*stop_processing)(const clap_plugin* plugin);
    void (*reset)(const clap_plugin* plugin);
    std::int32_t (*process)(const clap_plugin* plugin, const clap_process* process);
    const void* (*get_extension)(const clap_plugin* plugin, const char* id);
    void (*on_main_thread)(const clap_plugin* plugin);
};

// ---- Processing ----

enum : std::int32_t {
    kClapProcessError = 0,
    kClapProcessContinue = 1,
    kClapProcessContinueIfNotQuiet = 2,
    kClapProcessTail = 3,
    kClapProcessSleep = 4,
};

struct clap_audio_buffer {
    float** data32;
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask;
};

struct clap_event_header {
    std::uint32_t size;
    std::uint32_t time;
    std::uint16_t space_id;
    std::uint16_t type;
    std::uint32_t flags;
};

constexpr std::uint16_t kClapCoreEventSpaceId = 0;

enum : std::uint16_t {
    kClapEventNoteOn = 0,
    kClapEventNoteOff = 1,
    kClapEventNoteChoke = 2,
    kClapEventNoteEnd = 3,
    kClapEventNoteExpression = 4,
    kClapEventParamValue = 5,
    kClapEventParamMod = 6,
    kClapEventParamGestureBegin = 7,
    kClapEventParamGestureEnd = 8,
    kClapEventTransport = 9,
    kClapEventMidi = 10,
    kClapEventMidiSysex = 11,
    kClapEventMidi2 = 12,
};

enum : std::uint32_t {
    kClapEventIsLive = 1,
    kClapEventDontRecord = 2,
};

struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value;
};

struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

struct clap_input_events {
    void* ctx;
    std::uint32_t (*size)(const clap_input_events* list);
    const clap_event_header* (*get)(const clap_input_events* list, std::uint32_t index);
};

struct clap_output_events {
    void* ctx;
    bool (*try_push)(const clap_output_events* list, const clap_event_header* event);
};

// The transport is read by no one here; only its pointer is passed.
struct clap_event_transport;

struct clap_process {
    std::int64_t steady_time;
    std::uint32_t frames_count;
    const clap_event_transport* transport;
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count;
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

// ---- Audio ports ----

constexpr const char kClapExtAudioPorts[] = "clap.audio-ports";
constexpr const char kClapPortMono[] = "mono";
constexpr const char kClapPortStereo[] = "stereo";

enum : std::uint32_t {
    kClapAudioPortIsMain = 1,
    kClapAudioPortSupports64Bits = 2,
    kClapAudioPortPrefers64Bits = 4,
    kClapAudioPortRequiresCommonSampleSize = 8,
};

struct clap_audio_port_info {
    clap_id id;
    char name[kClapNameSize];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports {
    std::uint32_t (*count)(const clap_plugin* plugin, bool is_input);
    bool (*get)(const clap_plugin* plugin, std::uint32_t index, bool is_input, clap_audio_port_info* info);
};

enum : std::uint32_t {
    kClapAudioPortsRescanNames = 1,
    kClapAudioPortsRescanFlags = 2,
    kClapAudioPortsRescanChannelCount = 4,
    kClapAudioPortsRescanPortType = 8,
    kClapAudioPortsRescanInPlacePair = 16,
    kClapAudioPortsRescanList = 32,
};

struct clap_host_audio_ports {
    bool (*is_rescan_flag_supported)(const clap_host* host, std::uint32_t flag);
    void (*rescan)(const clap_host* host, std::uint32_t flags);
};

constexpr const char kClapExtAudioPortsConfig[] = "clap.audio-ports-config";

struct clap_audio_ports_config {
    clap_id id;
    char name[kClapNameSize];
    std::uint32_t input_port_count;
    std::uint32_t output_port_count;
    bool has_main_input;
    std::uint32_t main_input_channel_count;
    const char* main_input_port_type;
    bool has_main_output;
    std::uint32_t main_output_channel_count;
    const char* main_output_port_type;
};

struct clap_plugin_audio_ports_config {
    std::uint32_t (*count)(const clap_plugin* plugin);
    bool (*get)(const clap_plugin* plugin, std::uint32_t index, clap_audio_ports_config* config);
    bool (*select)(const clap_plugin* plugin, clap_id config_id);
};

struct clap_host_audio_ports_config {
    void (*rescan)(const clap_host* host);
};

// ---- Parameters ----

constexpr const char kClapExtParams[] = "clap.params";

enum : std::uint32_t {
    kClapParamIsStepped = 1,
    kClapParamIsPeriodic = 2,
    kClapParamIsHidden = 4,
    kClapParamIsReadonly = 8,
    kClapParamIsBypass = 16,
    kClapParamIsAutomatable = 32,
    kClapParamIsModulatable = 1024,
    kClapParamRequiresProcess = 32768,
    kClapParamIsEnum = 65536,
};

struct clap_param_info {
    clap_id id;
    std::uint32_t flags;
    void* cookie;
    char name[kClapNameSize];
    char module[kClapPathSize];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params {
    std::uint32_t (*count)(const clap_plugin* plugin);
    bool (*get_info)(const clap_plugin* plugin, std::uint32_t param_index, clap_param_info* param_info);
    bool (*get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin* plugin, clap_id param_id, double value, char* out_buffer,
                          std::uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text, double* out_value);
    void (*flush)(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out);
};

enum : std::uint32_t {
    kClapParamRescanValues = 1,
    kClapParamRescanText = 2,
    kClapParamRescanInfo = 4,
    kClapParamRescanAll = 8,
};

struct clap_host_params {
    void (*rescan)(const clap_host* host, std::uint32_t flags);
    void (*clear)(const clap_host* host, clap_id param_id, std::uint32_t flags);
    void (*request_flush)(const clap_host* host);
};

// ---- State ----

constexpr const char kClapExtState[] = "clap.state";

struct clap_ostream {
    void* ctx;
    // Bytes accepted (possibly fewer than size), or -1 on error.
    std::int64_t (*write)(const clap_ostream* stream, const void* buffer, std::uint64_t size);
};

struct clap_istream {
    void* ctx;
    // Bytes read (possibly fewer than size), 0 at the end, -1 on error.
    std::int64_t (*read)(const clap_istream* stream, void* buffer, std::uint64_t size);
};

struct clap_plugin_state {
    bool (*save)(const clap_plugin* plugin, const clap_ostream* stream);
    bool (*load)(const clap_plugin* plugin, const clap_istream* stream);
};

struct clap_host_state {
    void (*mark_dirty)(const clap_host* host);
};

// ---- Latency ----

constexpr const char kClapExtLatency[] = "clap.latency";

struct clap_plugin_latency {
    std::uint32_t (*get)(const clap_plugin* plugin);
};

struct clap_host_latency {
    void (*changed)(const clap_host* host);
};

// ---- Editor ----

constexpr const char kClapExtGui[] = "clap.gui";
constexpr const char kClapWindowApiWin32[] = "win32";
constexpr const char kClapWindowApiX11[] = "x11";

struct clap_window {
    const char* api;
    union {
        void* cocoa;
        unsigned long x11;  // the window id itself (4 bytes on Windows)
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    std::uint32_t aspect_ratio_width;
    std::uint32_t aspect_ratio_height;
};

struct clap_plugin_gui {
    bool (*is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin* plugin);
    bool (*set_scale)(const clap_plugin* plugin, double scale);
    bool (*get_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*can_resize)(const clap_plugin* plugin);
    bool (*get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
    bool (*adjust_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*set_size)(const clap_plugin* plugin, std::uint32_t width, std::uint32_t height);
    bool (*set_parent)(const clap_plugin* plugin, const clap_window* window);
    bool (*set_transient)(const clap_plugin* plugin, const clap_window* window);
    void (*suggest_title)(const clap_plugin* plugin, const char* title);
    bool (*show)(const clap_plugin* plugin);
    bool (*hide)(const clap_plugin* plugin);
};

struct clap_host_gui {
    void (*resize_hints_changed)(const clap_host* host);
    bool (*request_resize)(const clap_host* host, std::uint32_t width, std::uint32_t height);
    bool (*request_show)(const clap_host* host);
    bool (*request_hide)(const clap_host* host);
    void (*closed)(const clap_host* host, bool was_destroyed);
};

// ---- Linux main loop: timers and file descriptors ----

constexpr const char kClapExtTimerSupport[] = "clap.timer-support";

struct clap_plugin_timer_support {
    void (*on_timer)(const clap_plugin* plugin, clap_id timer_id);
};

struct clap_host_timer_support {
    bool (*register_timer)(const clap_host* host, std::uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host* host, clap_id timer_id);
};

constexpr const char kClapExtPosixFdSupport[] = "clap.posix-fd-support";

enum : std::uint32_t {
    kClapPosixFdRead = 1,
    kClapPosixFdWrite = 2,
    kClapPosixFdError = 4,
};

struct clap_plugin_posix_fd_support {
    void (*on_fd)(const clap_plugin* plugin, int fd, std::uint32_t flags);
};

struct clap_host_posix_fd_support {
    bool (*register_fd)(const clap_host* host, int fd, std::uint32_t flags);
    bool (*modify_fd)(const clap_host* host, int fd, std::uint32_t flags);
    bool (*unregister_fd)(const clap_host* host, int fd);
};

// ---- Host services asked for but not needed ----

constexpr const char kClapExtLog[] = "clap.log";
constexpr const char kClapExtThreadCheck[] = "clap.thread-check";

struct clap_host_thread_check {
    bool (*is_main_thread)(const clap_host* host);
    bool (*is_audio_thread)(const clap_host* host);
};

}  // extern "C"

// ---- Layout checks: the same numbers on LP64 and LLP64 ----

static_assert(sizeof(void*) == 8 && sizeof(bool) == 1, "64-bit targets with a one-byte bool only");
static_assert(sizeof(clap_version_t) == 12 && alignof(clap_version_t) == 4, "clap_version");
static_assert(sizeof(clap_plugin_entry) == 40 && offsetof(clap_plugin_entry, init) == 16 &&
                  offsetof(clap_plugin_entry, deinit) == 24 && offsetof(clap_plugin_entry, get_factory) == 32,
              "clap_plugin_entry");
static_assert(sizeof(clap_plugin_factory) == 24 && offsetof(clap_plugin_factory, create_plugin) == 16,
              "clap_plugin_factory");
static_assert(sizeof(clap_plugin_descriptor) == 88 && offsetof(clap_plugin_descriptor, id) == 16 &&
                  offsetof(clap_plugin_descriptor, name) == 24 && offsetof(clap_plugin_descriptor, vendor) == 32 &&
                  offsetof(clap_plugin_descriptor, version) == 64 &&
                  offsetof(clap_plugin_descriptor, description) == 72 &&
                  offsetof(clap_plugin_descriptor, features) == 80,
              "clap_plugin_descriptor");
static_assert(sizeof(clap_host) == 88 && offsetof(clap_host, host_data) == 16 && offsetof(clap_host, name) == 24 &&
                  offsetof(clap_host, version) == 48 && offsetof(clap_host, get_extension) == 56 &&
                  offsetof(clap_host, request_restart) == 64 && offsetof(clap_host, request_callback) == 80,
              "clap_host");
static_assert(sizeof(clap_plugin) == 96 && offsetof(clap_plugin, plugin_data) == 8 &&
                  offsetof(clap_plugin, init) == 16 && offsetof(clap_plugin, activate) == 32 &&
                  offsetof(clap_plugin, start_processing) == 48 && offsetof(clap_plugin, reset) == 64 &&
                  offsetof(clap_plugin, process) == 72 && offsetof(clap_plugin, get_extension) == 80 &&
                  offsetof(clap_plugin, on_main_thread) == 88,
              "clap_plugin");
static_assert(sizeof(clap_process) == 64 && offsetof(clap_process, frames_count) == 8 &&
                  offsetof(clap_process, transport) == 16 && offsetof(clap_process, audio_inputs) == 24 &&
                  offsetof(clap_process, audio_outputs) == 32 && offsetof(clap_process, audio_inputs_count) == 40 &&
                  offsetof(clap_process, audio_outputs_count) == 44 && offsetof(clap_process, in_events) == 48 &&
                  offsetof(clap_process, out_events) == 56,
              "clap_process");
static_assert(sizeof(clap_audio_buffer) == 32 && offsetof(clap_audio_buffer, data64) == 8 &&
                  offsetof(clap_audio_buffer, channel_count) == 16 && offsetof(clap_audio_buffer, latency) == 20 &&
                  offsetof(clap_audio_buffer, constant_mask) == 24,
              "clap_audio_buffer");
static_assert(sizeof(clap_event_header) == 16 && alignof(clap_event_header) == 4 &&
                  offsetof(clap_event_header, time) == 4 && offsetof(clap_event_header, space_id) == 8 &&
                  offsetof(clap_event_header, type) == 10 && offsetof(clap_event_header, flags) == 12,
              "clap_event_header");
static_assert(sizeof(clap_event_param_value) == 56 && offsetof(clap_event_param_value, param_id) == 16 &&
                  offsetof(clap_event_param_value, cookie) == 24 && offsetof(clap_event_param_value, note_id) == 32 &&
                  offsetof(clap_event_param_value, port_index) == 36 &&
                  offsetof(clap_event_param_value, channel) == 38 && offsetof(clap_event_param_value, key) == 40 &&
                  offsetof(clap_event_param_value, value) == 48,
              "clap_event_param_value");
static_assert(sizeof(clap_event_param_gesture) == 20 && alignof(clap_event_param_gesture) == 4 &&
                  offsetof(clap_event_param_gesture, param_id) == 16,
              "clap_event_param_gesture");
static_assert(sizeof(clap_input_events) == 24 && offsetof(clap_input_events, get) == 16, "clap_input_events");
static_assert(sizeof(clap_output_events) == 16 && offsetof(clap_output_events, try_push) == 8, "clap_output_events");
static_assert(sizeof(clap_audio_port_info) == 288 && offsetof(clap_audio_port_info, name) == 4 &&
                  offsetof(clap_audio_port_info, flags) == 260 &&
                  offsetof(clap_audio_port_info, channel_count) == 264 &&
                  offsetof(clap_audio_port_info, port_type) == 272 &&
                  offsetof(clap_audio_port_info, in_place_pair) == 280,
              "clap_audio_port_info");
static_assert(sizeof(clap_plugin_audio_ports) == 16 && sizeof(clap_host_audio_ports) == 16, "audio ports");
static_assert(sizeof(clap_audio_ports_config) == 304 && offsetof(clap_audio_ports_config, input_port_count) == 260 &&
                  offsetof(clap_audio_ports_config, output_port_count) == 264 &&
                  offsetof(clap_audio_ports_config, has_main_input) == 268 &&
                  offsetof(clap_audio_ports_config, main_input_channel_count) == 272 &&
                  offsetof(clap_audio_ports_config, main_input_port_type) == 280 &&
                  offsetof(clap_audio_ports_config, has_main_output) == 288 &&
                  offsetof(clap_audio_ports_config, main_output_channel_count) == 292 &&
                  offsetof(clap_audio_ports_config, main_output_port_type) == 296,
              "clap_audio_ports_config");
static_assert(sizeof(clap_plugin_audio_ports_config) == 24 && sizeof(clap_host_audio_ports_config) == 8,
              "audio ports config");
static_assert(sizeof(clap_param_info) == 1320 && offsetof(clap_param_info, flags) == 4 &&
                  offsetof(clap_param_info, cookie) == 8 && offsetof(clap_param_info, name) == 16 &&
                  offsetof(clap_param_info, module) == 272 && offsetof(clap_param_info, min_value) == 1296 &&
                  offsetof(clap_param_info, max_value) == 1304 && offsetof(clap_param_info, default_value) == 1312,
              "clap_param_info");
static_assert(sizeof(clap_plugin_params) == 48 && offsetof(clap_plugin_params, flush) == 40, "clap_plugin_params");
static_assert(sizeof(clap_host_params) == 24 && offsetof(clap_host_params, request_flush) == 16, "clap_host_params");
static_assert(sizeof(clap_ostream) == 16 && sizeof(clap_istream) == 16 && offsetof(clap_istream, read) == 8, "streams");
static_assert(sizeof(clap_plugin_state) == 16 && sizeof(clap_host_state) == 8, "state");
static_assert(sizeof(clap_plugin_latency) == 8 && sizeof(clap_host_latency) == 8, "latency");
static_assert(sizeof(clap_window) == 16 && offsetof(clap_window, x11) == 8 && offsetof(clap_window, win32) == 8,
              "clap_window");
static_assert(sizeof(clap_gui_resize_hints) == 12 && offsetof(clap_gui_resize_hints, aspect_ratio_width) == 4 &&
                  offsetof(clap_gui_resize_hints, aspect_ratio_height) == 8,
              "clap_gui_resize_hints");
static_assert(sizeof(clap_plugin_gui) == 120 && offsetof(clap_plugin_gui, set_scale) == 32 &&
                  offsetof(clap_plugin_gui, get_size) == 40 && offsetof(clap_plugin_gui, set_parent) == 80 &&
                  offsetof(clap_plugin_gui, show) == 104 && offsetof(clap_plugin_gui, hide) == 112,
              "clap_plugin_gui");
static_assert(sizeof(clap_host_gui) == 40 && offsetof(clap_host_gui, closed) == 32, "clap_host_gui");
static_assert(sizeof(clap_plugin_timer_support) == 8 && sizeof(clap_host_timer_support) == 16, "timer support");
static_assert(sizeof(clap_plugin_posix_fd_support) == 8 && sizeof(clap_host_posix_fd_support) == 24 &&
                  offsetof(clap_host_posix_fd_support, unregister_fd) == 16,
              "posix fd support");
static_assert(sizeof(clap_host_thread_check) == 16, "thread check");
