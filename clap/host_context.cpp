#include "clap/host_context.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#if !defined(_WIN32)
#include <poll.h>
#endif

namespace {

thread_local bool tAudioThread = false;

template <typename Ext>
const Ext* PluginExt(const clap_plugin* plugin, const char* id) {
    return plugin && plugin->get_extension ? static_cast<const Ext*>(plugin->get_extension(plugin, id)) : nullptr;
}

}  // namespace

std::int64_t ClapNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ClapHostContext::ClapHostContext(const char* name, const char* version)
    : mName(name ? name : ""), mVersion(version ? version : ""), mMainThread(std::this_thread::get_id()) {
    mHost.clap_version = kClapVersion;
    mHost.host_data = this;
    mHost.name = mName.c_str();
    mHost.vendor = "Velmor";
    mHost.url = "";
    mHost.version = mVersion.c_str();
    mHost.get_extension = GetExtension;
    mHost.request_restart = [](const clap_host* h) { ++From(h)->restartRequests; };
    mHost.request_process = [](const clap_host* h) { ++From(h)->processRequests; };
    mHost.request_callback = [](const clap_host* h) { ++From(h)->callbackRequests; };
}

bool ClapHostContext::IsAudioThread() { return tAudioThread; }
ClapHostContext::ScopedAudioThread::ScopedAudioThread() { tAudioThread = true; }
ClapHostContext::ScopedAudioThread::~ScopedAudioThread() { tAudioThread = false; }

const void* ClapHostContext::GetExtension(const clap_host* host, const char* id) {
    if (!host || !id || !From(host)->mOffer) return nullptr;
    static const clap_host_params kParams = {[](const clap_host* h, std::uint32_t flags) {
                                                 From(h)->paramRescanFlags |= flags;
                                                 From(h)->OnParamsRescan(flags);
                                             },
                                             [](const clap_host*, clap_id, std::uint32_t) {},
                                             [](const clap_host* h) {
                                                 ++From(h)->flushRequests;
                                                 From(h)->OnRequestFlush();
                                             }};
    static const clap_host_latency kLatency = {[](const clap_host* h) { ++From(h)->latencyChanges; }};
    static const clap_host_audio_ports kPorts = {[](const clap_host*, std::uint32_t) { return true; },
                                                 [](const clap_host* h, std::uint32_t) { ++From(h)->portRescans; }};
    static const clap_host_state kState = {[](const clap_host* h) { ++From(h)->dirtyMarks; }};
    static const clap_host_gui kGui = {[](const clap_host*) {},
                                       [](const clap_host* h, std::uint32_t width, std::uint32_t height) {
                                           ++From(h)->resizeRequests;
                                           From(h)->requestedWidth = width;
                                           From(h)->requestedHeight = height;
                                           return From(h)->OnRequestResize(width, height);
                                       },
                                       [](const clap_host*) { return false; }, [](const clap_host*) { return false; },
                                       [](const clap_host*, bool) {}};
    static const clap_host_timer_support kTimers = {RegisterTimer, UnregisterTimer};
    static const clap_host_posix_fd_support kFds = {RegisterFd, ModifyFd, UnregisterFd};
    struct Log {
        void (*log)(const clap_host*, std::int32_t, const char*);
    };
    static const Log kLog = {[](const clap_host* h, std::int32_t severity, const char* message) {
        From(h)->OnLog(severity, message ? message : "");
    }};
    static const clap_host_thread_check kThreadCheck = {[](const clap_host* h) { return From(h)->IsMainThread(); },
                                                        [](const clap_host*) { return IsAudioThread(); }};
    const struct {
        const char* id;
        const void* table;
    } kTables[] = {{kClapExtParams, &kParams},      {kClapExtLatency, &kLatency}, {kClapExtAudioPorts, &kPorts},
                   {kClapExtState, &kState},        {kClapExtGui, &kGui},         {kClapExtTimerSupport, &kTimers},
                   {kClapExtPosixFdSupport, &kFds}, {kClapExtLog, &kLog},         {kClapExtThreadCheck, &kThreadCheck}};
    for (const auto& t : kTables)
        if (std::strcmp(id, t.id) == 0) return t.table;
    return nullptr;
}

bool ClapHostContext::RegisterTimer(const clap_host* host, std::uint32_t periodMs, clap_id* id) {
    if (!host || !id) return false;
    ClapHostContext* self = From(host);
    // Ids from 0, as hosts hand them out: 0 is a valid id.
    const Timer timer{self->mNextTimer++, periodMs, ClapNowMs() + periodMs};
    self->mTimers.push_back(timer);
    *id = timer.id;
    return true;
}

bool ClapHostContext::UnregisterTimer(const clap_host* host, clap_id id) {
    if (!host) return false;
    std::vector<Timer>& timers = From(host)->mTimers;
    const auto it = std::find_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; });
    if (it == timers.end()) return false;
    timers.erase(it);
    return true;
}

bool ClapHostContext::RegisterFd(const clap_host* host, int fd, std::uint32_t flags) {
    if (!host || fd < 0) return false;
    std::vector<Fd>& fds = From(host)->mFds;
    if (std::any_of(fds.begin(), fds.end(), [fd](const Fd& f) { return f.fd == fd; })) return false;
    fds.push_back({fd, flags});
    return true;
}

bool ClapHostContext::ModifyFd(const clap_host* host, int fd, std::uint32_t flags) {
    if (!host) return false;
    for (Fd& f : From(host)->mFds) {
        if (f.fd == fd) {
            f.flags = flags;
            return true;
        }
    }
    return false;
}

bool ClapHostContext::UnregisterFd(const clap_host* host, int fd) {
    if (!host) return false;
    std::vector<Fd>& fds = From(host)->mFds;
    const auto it = std::find_if(fds.begin(), fds.end(), [fd](const Fd& f) { return f.fd == fd; });
    if (it == fds.end()) return false;
    fds.erase(it);
    return true;
}

void ClapHostContext::RunMainLoop(const clap_plugin* plugin, int waitMs) {
#if !defined(_WIN32)
    std::vector<pollfd> watched;
    for (const Fd& f : mFds) {
        short events = 0;
        if (f.flags & kClapPosixFdRead) events |= POLLIN;
        if (f.flags & kClapPosixFdWrite) events |= POLLOUT;
        watched.push_back({f.fd, events, 0});
    }
    if (!watched.empty() && poll(watched.data(), watched.size(), waitMs) > 0) {
        const auto* fdSupport = PluginExt<clap_plugin_posix_fd_support>(plugin, kClapExtPosixFdSupport);
        for (const pollfd& p : watched) {
            if (!p.revents) continue;
            std::uint32_t flags = 0;
            if (p.revents & POLLIN) flags |= kClapPosixFdRead;
            if (p.revents & POLLOUT) flags |= kClapPosixFdWrite;
            if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) flags |= kClapPosixFdError;
            if (fdSupport && fdSupport->on_fd) fdSupport->on_fd(plugin, p.fd, flags);
        }
    } else if (watched.empty() && waitMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
#else
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
#endif
    const std::int64_t now = ClapNowMs();
    const auto* timerSupport = PluginExt<clap_plugin_timer_support>(plugin, kClapExtTimerSupport);
    // A copy: a timer's callback may register or unregister timers.
    const std::vector<Timer> timers = mTimers;
    for (const Timer& t : timers) {
        if (now < t.dueMs) continue;
        for (Timer& live : mTimers)
            if (live.id == t.id) live.dueMs = now + live.periodMs;
        if (timerSupport && timerSupport->on_timer) timerSupport->on_timer(plugin, t.id);
    }
}

void ClapHostContext::RunMainLoopFor(const clap_plugin* plugin, int ms) {
    const std::int64_t end = ClapNowMs() + ms;
    do {
        RunMainLoop(plugin, 5);
    } while (ClapNowMs() < end);
}

// ---- Event lists ----

ClapInputEvents::ClapInputEvents() {
    mList.ctx = this;
    mList.size = [](const clap_input_events* list) { return static_cast<const ClapInputEvents*>(list->ctx)->Size(); };
    mList.get = [](const clap_input_events* list, std::uint32_t index) -> const clap_event_header* {
        const auto* self = static_cast<const ClapInputEvents*>(list->ctx);
        if (index >= self->Size()) return nullptr;
        return reinterpret_cast<const clap_event_header*>(reinterpret_cast<const std::uint8_t*>(self->mBytes.data()) +
                                                          self->mOffsets[index]);
    };
}

void ClapInputEvents::Add(const clap_event_header& event) {
    const std::size_t offset = mBytes.size() * sizeof(std::uint64_t);
    mBytes.resize(mBytes.size() + (event.size + 7) / 8);
    std::memcpy(reinterpret_cast<std::uint8_t*>(mBytes.data()) + offset, &event, event.size);
    mOffsets.push_back(offset);
}

void ClapInputEvents::AddValue(clap_id id, double value, std::uint32_t time) {
    clap_event_param_value e{};
    e.header = {sizeof e, time, kClapCoreEventSpaceId, kClapEventParamValue, 0};
    e.param_id = id;
    e.note_id = -1;
    e.port_index = -1;
    e.channel = -1;
    e.key = -1;
    e.value = value;
    Add(e.header);
}

ClapOutputEvents::ClapOutputEvents(std::size_t capacity) : mCapacity(capacity) {
    mList.ctx = this;
    mList.try_push = TryPush;
    mEvents.reserve(std::min<std::size_t>(capacity, 4096));
}

bool ClapOutputEvents::TryPush(const clap_output_events* list, const clap_event_header* event) {
    auto* self = static_cast<ClapOutputEvents*>(list->ctx);
    if (!event || self->mEvents.size() >= self->mCapacity) return false;
    Event e{event->type, event->time, event->flags, kClapInvalidId, 0.0};
    if (event->space_id == kClapCoreEventSpaceId) {
        if (event->type == kClapEventParamValue && event->size >= sizeof(clap_event_param_value)) {
            const auto* v = reinterpret_cast<const clap_event_param_value*>(event);
            e.param = v->param_id;
            e.value = v->value;
        } else if ((event->type == kClapEventParamGestureBegin || event->type == kClapEventParamGestureEnd) &&
                   event->size >= sizeof(clap_event_param_gesture)) {
            e.param = reinterpret_cast<const clap_event_param_gesture*>(event)->param_id;
        }
    }
    self->mEvents.push_back(e);
    return true;
}

// ---- Streams ----

ClapOutputStream::ClapOutputStream(std::size_t step, std::int64_t failAfter) : mStep(step), mFailAfter(failAfter) {
    mStream.ctx = this;
    mStream.write = Write;
}

std::int64_t ClapOutputStream::Write(const clap_ostream* stream, const void* buffer, std::uint64_t size) {
    auto* self = static_cast<ClapOutputStream*>(stream->ctx);
    if (self->mFailAfter >= 0 && static_cast<std::int64_t>(self->bytes.size()) >= self->mFailAfter) return -1;
    std::uint64_t n = size;
    if (self->mStep > 0 && n > self->mStep) n = self->mStep;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    self->bytes.insert(self->bytes.end(), p, p + n);
    return static_cast<std::int64_t>(n);
}

ClapInputStream::ClapInputStream(std::vector<std::uint8_t> data, std::size_t step, std::int64_t failAfter)
    : mData(std::move(data)), mStep(step), mFailAfter(failAfter) {
    mStream.ctx = this;
    mStream.read = Read;
}

std::int64_t ClapInputStream::Read(const clap_istream* stream, void* buffer, std::uint64_t size) {
    auto* self = static_cast<ClapInputStream*>(stream->ctx);
    if (self->mFailAfter >= 0 && static_cast<std::int64_t>(self->mPosition) >= self->mFailAfter) return -1;
    std::uint64_t n = std::min<std::uint64_t>(size, self->mData.size() - self->mPosition);
    if (self->mStep > 0 && n > self->mStep) n = self->mStep;
    if (n > 0) std::memcpy(buffer, self->mData.data() + self->mPosition, static_cast<std::size_t>(n));
    self->mPosition += static_cast<std::size_t>(n);
    return static_cast<std::int64_t>(n);
}
