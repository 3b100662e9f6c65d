#include "core/creation_lock.h"

RecursiveLock& CreationLock() {
    // A function-local static is initialised exactly once even when several
    // threads arrive first at the same time, and destroyed at process exit
    // (or when the library is unloaded).
    static RecursiveLock lock;
    return lock;
}
