#include "base/module_instance.h"

#include <atomic>

namespace {
// Written once by the loader thread before any entry-point call; atomic so
// a host that loads on one thread and creates on another reads it cleanly.
std::atomic<void*> gModuleInstance{nullptr};
}  // namespace

void SetModuleInstance(void* instance) { gModuleInstance.store(instance, std::memory_order_release); }

void* ModuleInstance() { return gModuleInstance.load(std::memory_order_acquire); }
