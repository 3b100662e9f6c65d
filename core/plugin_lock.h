// The recursive lock that serialises one plug-in instance (host UI thread,
// audio thread, editor gestures) and the process-wide creation lock. A
// thread may take it again while holding it: the base's default hooks
// re-enter it inside host calls that already hold it.
#pragma once

#include <mutex>

class RecursiveLock {
public:
    RecursiveLock() = default;
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Lock() { mMutex.lock(); }
    void Unlock() { mMutex.unlock(); }

private:
    std::recursive_mutex mMutex;
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
