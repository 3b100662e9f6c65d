#include "tools/velmor-host/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h first.
#include <stdlib.h>
#include <wchar.h>
#else
#include <unistd.h>
#endif

namespace {

// Written by the handler, read by the render loop: a lock-free atomic is
// the only kind of shared variable a signal handler may touch.
std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free flag");

// The handler reads this path, so it lives in a fixed buffer, and the flag
// says whether it holds a complete one (cleared before the path changes).
constexpr std::size_t kMaxCleanupPath = 4096;
#if defined(_WIN32)
wchar_t gCleanupPath[kMaxCleanupPath];  // UTF-16 for _wunlink, converted in advance
#else
char gCleanupPath[kMaxCleanupPath];
#endif
std::atomic<bool> gHaveCleanupPath{false};

void RemoveCleanupFile() {
    if (!gHaveCleanupPath.load()) return;
#if defined(_WIN32)
    _wunlink(gCleanupPath);
#else
    unlink(gCleanupPath);
#endif
}

extern "C" void OnInterrupt(int signal) {
    int none = 0;
    if (!gSignal.compare_exchange_strong(none, signal)) {
        // Second signal: the render did not stop in time.
        RemoveCleanupFile();
        _exit(InterruptExitStatus(signal));
    }
#if defined(_WIN32)
    // The C runtime resets the handler to the default before calling it.
    std::signal(signal, OnInterrupt);
#endif
}

}  // namespace

void InstallInterruptHandlers() {
#if defined(_WIN32)
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#else
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

int InterruptSignal() { return gSignal.load(std::memory_order_relaxed); }

int InterruptExitStatus(int signal) { return 128 + signal; }

void SetInterruptCleanupFile(const char* path) {
    gHaveCleanupPath.store(false);
    if (!path || std::strlen(path) >= kMaxCleanupPath) return;
#if defined(_WIN32)
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, gCleanupPath, static_cast<int>(kMaxCleanupPath)) <= 0) return;
#else
    std::memcpy(gCleanupPath, path, std::strlen(path) + 1);
#endif
    gHaveCleanupPath.store(true);
}
