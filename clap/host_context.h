// Host side of one CLAP instance: the clap_host record and the host
// extensions a plug-in may ask for (params, latency, audio ports, state,
// gui, timer-support, posix-fd-support, log, thread-check), the timers and
// file descriptors a plug-in registers and the main loop that serves them,
// and the event lists and streams a host hands to process, flush and state.
// velmor-host and the tests both host through it; the tests override the
// hooks to watch or disturb the conversation.
//
// Threads: requests arrive on any thread; the counters are atomics. Timers
// and descriptors are the main thread's (the one that runs RunMainLoop).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clap/clap_abi.h"

class ClapHostContext {
public:
    // name is the host's name as the plug-in sees it.
    explicit ClapHostContext(const char* name, const char* version = "1.0.0");
    virtual ~ClapHostContext() = default;
    ClapHostContext(const ClapHostContext&) = delete;
    ClapHostContext& operator=(const ClapHostContext&) = delete;

    const clap_host* Host() const { return &mHost; }
    // Whether get_extension answers at all (a scanning host answers none).
    void OfferExtensions(bool offer) { mOffer = offer; }

    // ---- What the plug-in asked for (counted, any thread). ----
    std::atomic<int> flushRequests{0};
    std::atomic<int> restartRequests{0};
    std::atomic<int> processRequests{0};
    std::atomic<int> callbackRequests{0};
    std::atomic<int> latencyChanges{0};
    std::atomic<int> portRescans{0};
    std::atomic<int> dirtyMarks{0};
    std::atomic<unsigned> paramRescanFlags{0};  // every rescan's flags, or-ed
    // gui.request_resize: how often, and the last size asked for.
    std::atomic<int> resizeRequests{0};
    std::atomic<std::uint32_t> requestedWidth{0};
    std::atomic<std::uint32_t> requestedHeight{0};

    // ---- Hooks (default: counted as above). ----
    virtual void OnRequestFlush() {}
    virtual void OnParamsRescan(std::uint32_t /*flags*/) {}
    virtual void OnLog(std::int32_t /*severity*/, const char* /*message*/) {}
    // Whether the host's window takes the size the plug-in asked for.
    virtual bool OnRequestResize(std::uint32_t /*width*/, std::uint32_t /*height*/) { return false; }

    // ---- Timers and descriptors (main thread). ----
    struct Timer {
        clap_id id;
        std::uint32_t periodMs;
        std::int64_t dueMs;
    };
    struct Fd {
        int fd;
        std::uint32_t flags;
    };
    const std::vector<Timer>& Timers() const { return mTimers; }
    const std::vector<Fd>& Fds() const { return mFds; }
    // One pass of a host's main loop: waits up to waitMs for a watched
    // descriptor, calls on_fd for each that is ready, then on_timer for
    // each timer that is due. plugin's extensions are looked up each time.
    void RunMainLoop(const clap_plugin* plugin, int waitMs = 0);
    // Passes of RunMainLoop for ms milliseconds.
    void RunMainLoopFor(const clap_plugin* plugin, int ms);

    // The thread that made this context counts as the main thread; the
    // audio thread is the one inside a ScopedAudioThread.
    bool IsMainThread() const { return std::this_thread::get_id() == mMainThread; }
    static bool IsAudioThread();
    class ScopedAudioThread {
    public:
        ScopedAudioThread();
        ~ScopedAudioThread();
        ScopedAudioThread(const ScopedAudioThread&) = delete;
        ScopedAudioThread& operator=(const ScopedAudioThread&) = delete;
    };

private:
    static ClapHostContext* From(const clap_host* host) { return static_cast<ClapHostContext*>(host->host_data); }
    static const void* GetExtension(const clap_host* host, const char* id);
    static bool RegisterTimer(const clap_host* host, std::uint32_t periodMs, clap_id* id);
    static bool UnregisterTimer(const clap_host* host, clap_id id);
    static bool RegisterFd(const clap_host* host, int fd, std::uint32_t flags);
    static bool ModifyFd(const clap_host* host, int fd, std::uint32_t flags);
    static bool UnregisterFd(const clap_host* host, int fd);

    clap_host mHost{};
    std::string mName;
    std::string mVersion;
    bool mOffer = true;
    std::thread::id mMainThread;
    std::vector<Timer> mTimers;
    std::vector<Fd> mFds;
    clap_id mNextTimer = 0;
};

// The monotonic clock in milliseconds.
std::int64_t ClapNowMs();

// An input event list over events the caller keeps (parameter values and
// anything else, by header).
class ClapInputEvents {
public:
    ClapInputEvents();
    // Appends a parameter value event at time.
    void AddValue(clap_id id, double value, std::uint32_t time = 0);
    // Appends a copy of any event (size bytes from its header).
    void Add(const clap_event_header& event);
    void Clear() {
        mBytes.clear();
        mOffsets.clear();
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(mOffsets.size()); }
    const clap_input_events* List() const { return &mList; }

private:
    clap_input_events mList{};
    std::vector<std::uint64_t> mBytes;  // 8-byte aligned event storage
    std::vector<std::size_t> mOffsets;  // byte offsets into mBytes
};

// An output event list that keeps copies of what the plug-in pushes; refuses
// pushes beyond capacity (a full host queue).
class ClapOutputEvents {
public:
    struct Event {
        std::uint16_t type;
        std::uint32_t time;
        std::uint32_t flags;
        clap_id param;
        double value;  // parameter values only
    };
    explicit ClapOutputEvents(std::size_t capacity = 1 << 16);
    const clap_output_events* List() const { return &mList; }
    std::vector<Event>& Events() { return mEvents; }

private:
    static bool TryPush(const clap_output_events* list, const clap_event_header* event);
    clap_output_events mList{};
    std::vector<Event> mEvents;
    std::size_t mCapacity;
};

// Streams over a byte vector that move at most `step` bytes per call (0:
// any number), and may fail after `failAfter` bytes (-1: never).
class ClapOutputStream {
public:
    explicit ClapOutputStream(std::size_t step = 0, std::int64_t failAfter = -1);
    const clap_ostream* Stream() const { return &mStream; }
    std::vector<std::uint8_t> bytes;

private:
    static std::int64_t Write(const clap_ostream* stream, const void* buffer, std::uint64_t size);
    clap_ostream mStream{};
    std::size_t mStep;
    std::int64_t mFailAfter;
};

class ClapInputStream {
public:
    explicit ClapInputStream(std::vector<std::uint8_t> data, std::size_t step = 0, std::int64_t failAfter = -1);
    const clap_istream* Stream() const { return &mStream; }

private:
    static std::int64_t Read(const clap_istream* stream, void* buffer, std::uint64_t size);
    clap_istream mStream{};
    std::vector<std::uint8_t> mData;
    std::size_t mPosition = 0;
    std::size_t mStep;
    std::int64_t mFailAfter;
};
