// Host side of the CLAP binary interface: loads a .clap file, initialises
// its entry and finds the plug-in factory and its descriptors. Used by
// velmor-host and by the tests, which drive plug-ins exactly as a host does.
//
// Threads: the thread that opened the module (a host's main thread).
#pragma once

#include <string>

#include "clap/clap_abi.h"

class ClapModule {
public:
    ClapModule() = default;
    // Deinitialises the entry and unloads the file; every plug-in made
    // through it must be destroyed first.
    ~ClapModule();
    ClapModule(const ClapModule&) = delete;
    ClapModule& operator=(const ClapModule&) = delete;

    // Loads the file (UTF-8 path), finds "clap_entry", checks its version,
    // calls init with the path and asks for the plug-in factory. False with
    // a one-line error that names the path; nothing stays loaded.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return mEntry != nullptr; }

    const clap_plugin_entry* Entry() const { return mEntry; }
    const clap_plugin_factory* Factory() const { return mFactory; }
    // The descriptor with id, or with an empty id the only one. Null with
    // an error naming the ids the file holds.
    const clap_plugin_descriptor* Find(const std::string& id, std::string& error) const;

private:
    void* mHandle = nullptr;
    const clap_plugin_entry* mEntry = nullptr;
    const clap_plugin_factory* mFactory = nullptr;
    std::string mPath;
};
