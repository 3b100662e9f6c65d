#include "core/plugin_lock.h"

#if defined(_WIN32)
RecursiveLock::RecursiveLock() { InitializeCriticalSection(&mSection); }
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(&mSection); }
void RecursiveLock::Lock() { EnterCriticalSection(&mSection); }
void RecursiveLock::Unlock() { LeaveCriticalSection(&mSection); }
#else
RecursiveLock::RecursiveLock() = default;
RecursiveLock::~RecursiveLock() = default;
void RecursiveLock::Lock() { mMutex.lock(); }
void RecursiveLock::Unlock() { mMutex.unlock(); }
#endif
