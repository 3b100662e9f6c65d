// A hosted plug-in's state moved in and out through the published calls:
// its program chunk where it announces program chunks, else its
// parameters' normalised values, as hosts keep it. The state file format
// is in state_file.h.
#pragma once

#include <string>

#include "tools/velmor-host/hosted_plugin.h"
#include "tools/velmor-host/state_file.h"

// Loads a state file saved by `state save`. Refuses (one-line error,
// nothing changed) another plug-in's state, a chunk for a plug-in without
// program chunks, and parameter lists of the wrong length or with values
// outside [0, 1].
bool LoadStateFile(HostedPlugin& plugin, const std::string& path, std::string& error);

// Loads a program chunk without a header, as state files were written
// before they had one. Nothing tells its origin: the user vouches for it.
bool LoadBareChunk(HostedPlugin& plugin, const std::string& path, std::string& error);

// The plug-in's current state, named with its unique ID and version.
bool CaptureState(HostedPlugin& plugin, PluginState& state, std::string& error);

// Four printable characters of a unique ID or magic ("HtGn"); empty if the
// bytes are not all printable.
std::string FourChars(VstInt32 id);
// "0x4874476E".
std::string HexText(VstInt32 value);
// A unique ID as hosts show it: "HtGn (0x4874476E)", or the number alone.
std::string UniqueIdText(VstInt32 id);
