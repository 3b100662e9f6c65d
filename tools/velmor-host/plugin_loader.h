// Which implementation of PluginInstance hosts what --plugin names. Each
// format claims the names it recognises (a library file, a bundle folder, a
// URI) in a table in plugin_loader.cpp; a format added to velmor-host adds
// one entry there and one implementation in files of its own. Main thread.
#pragma once

#include <memory>
#include <string>

#include "tools/velmor-host/plugin_instance.h"

struct PluginRequest {
    std::string location;   // a file, a bundle folder, or a URI; never empty
    std::string className;  // --class: one plug-in of a bundle holding several; empty: the only one
};

// Loads the plug-in at `request` for processing at `sampleRate` in blocks of
// at most `maxBlockSize` frames. Null with a one-line error that names the
// location once: no such file, a format this build does not host, a --class
// the format has no use for, or the format's own loading error.
std::unique_ptr<PluginInstance> LoadPluginInstance(const PluginRequest& request, double sampleRate, int maxBlockSize,
                                                   std::string& error);
