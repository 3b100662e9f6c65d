// The module's one export, clap_entry: a data object hosts look up by name.
// Built into the plug-in module only (never into a test executable).
//
// init and deinit are counted (a host and a wrapper in one process, or one
// host per plug-in instance, nest them): the first init makes the
// descriptor, the last deinit deletes it, and every init in between answers
// true. Hosts never run them concurrently with anything else in the module;
// the lock is for the factory's calls, which may come from any thread.
#include <cstring>
#include <memory>
#include <mutex>

#include "clap/new_plugin.h"
#include "core/plugin_factory.h"

namespace {

// Plain data only: a host may call deinit from its own exit handlers, after
// this module's static destructors ran (std::mutex has none to run).
std::mutex gEntryLock;
int gInitCount = 0;
ClapDescriptor* gDescriptor = nullptr;

const clap_plugin_descriptor* Descriptor() {
    std::lock_guard<std::mutex> lock(gEntryLock);
    return gDescriptor ? gDescriptor->Get() : nullptr;
}

std::uint32_t GetPluginCount(const clap_plugin_factory*) { return Descriptor() ? 1 : 0; }

const clap_plugin_descriptor* GetPluginDescriptor(const clap_plugin_factory*, std::uint32_t index) {
    return index == 0 ? Descriptor() : nullptr;
}

const clap_plugin* CreatePlugin(const clap_plugin_factory*, const clap_host* host, const char* id) {
    const clap_plugin_descriptor* descriptor = Descriptor();
    if (!descriptor || !host || !id || std::strcmp(id, descriptor->id) != 0) return nullptr;
    if (!ClapVersionIsCompatible(host->clap_version)) return nullptr;
    return NewClapPlugin(host, descriptor, CreatePluginInstance);
}

const clap_plugin_factory kFactory = {GetPluginCount, GetPluginDescriptor, CreatePlugin};

bool EntryInit(const char* /*pluginPath*/) {
    std::lock_guard<std::mutex> lock(gEntryLock);
    if (gInitCount > 0) {
        ++gInitCount;
        return true;
    }
    gDescriptor = ClapDescriptor::Make(CreatePluginInstance).release();
    if (!gDescriptor) return false;
    gInitCount = 1;
    return true;
}

void EntryDeinit() {
    std::lock_guard<std::mutex> lock(gEntryLock);
    // A deinit too many (or one without init) changes nothing.
    if (gInitCount == 0) return;
    if (--gInitCount == 0) {
        delete gDescriptor;
        gDescriptor = nullptr;
    }
}

const void* GetFactory(const char* id) {
    return id && std::strcmp(id, kClapPluginFactoryId) == 0 ? &kFactory : nullptr;
}

}  // namespace

#if defined(_WIN32)
#define VELMOR_CLAP_EXPORT __declspec(dllexport)
#else
#define VELMOR_CLAP_EXPORT __attribute__((visibility("default")))
#endif

// Brace-less extern "C": a namespace-scope const object has internal
// linkage in C++, and inside an extern "C" block it would silently not be
// exported.
extern "C" VELMOR_CLAP_EXPORT const clap_plugin_entry clap_entry = {kClapVersion, EntryInit, EntryDeinit, GetFactory};
