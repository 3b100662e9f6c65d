// A hosted plug-in's state loaded from the files `state save` writes (and
// from bare chunks of older ones), through PluginInstance: which bytes a
// format keeps is the instance's business. The state file format is in
// state_file.h. Main thread.
#pragma once

#include <string>

#include "tools/velmor-host/plugin_instance.h"
#include "tools/velmor-host/state_file.h"

// Loads a state file saved by `state save` ("-": standard input). Refuses
// (one-line error, nothing changed) a file that is not a state file,
// another plug-in's state, or one the plug-in does not take.
bool LoadStateFile(PluginInstance& plugin, const std::string& path, std::string& error);

// Loads a state without a header, as state files were written before they
// had one ("-": standard input).
bool LoadBareChunk(PluginInstance& plugin, const std::string& path, std::string& error);

// Sets the plug-in's parameters from a state of parameter values (one 32-bit
// normalised value per parameter), as hosts restore plug-ins that keep their
// state that way. Refused whole (nothing set, one-line error naming source)
// when the count differs or a value is not in [0, 1]; a parameter already at
// its stored value is left alone.
bool RestoreParameterValues(PluginInstance& plugin, const std::vector<std::uint8_t>& payload, const std::string& source,
                            std::string& error);
