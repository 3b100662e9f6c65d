// The recursive lock that serialises one plug-in instance (host UI thread,
// audio thread, editor) and the process-wide creation lock. A thread may take
// it again while holding it: the base's default hooks re-enter it inside
// host calls that already hold it.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <mutex>
#endif

class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Lock();
    void Unlock();

private:
#if defined(_WIN32)
    CRITICAL_SECTION mSection;
#else
    std::recursive_mutex mMutex;
#endif
};

// Scoped holder; also usable with std::lock_guard (BasicLockable).
class LockGuard {
public:
    explicit LockGuard(RecursiveLock& lock) : mLock(lock) { mLock.Lock(); }
    ~LockGuard() { mLock.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    RecursiveLock& mLock;
};
