// `velmor-host editor`: a plug-in's editor opened in a window of this
// host's own on the current X display, driven with effEditIdle as a Linux
// host drives it, and photographed. Builds without X11 answer that they
// cannot.
#pragma once

#include <string>

class AudioReader;
class HostedPlugin;

struct EditorPhotoRequest {
    std::string outPath;          // the PNG
    int afterMs = 3000;           // from effEditOpen to the photograph
    AudioReader* play = nullptr;  // played through the plug-in meanwhile, or null
};

// Whether there is a display to open editors on; false with a one-line
// error otherwise.
bool EditorDisplayAvailable(std::string& error);

// plugin is loaded (and configured); the photograph is written whole or not
// at all. False with a one-line error.
bool PhotographEditor(HostedPlugin& plugin, const EditorPhotoRequest& request, std::string& error);
