// `velmor-host editor`: a plug-in's editor opened in a window of this
// host's own on the current X display, idled 50 times a second as Linux
// hosts idle editors, and photographed. Builds without X11 answer that they
// cannot.
#pragma once

#include <memory>
#include <string>

#include "raster/mem_bitmap.h"

class AudioReader;
class PluginInstance;

struct EditorPhotoRequest {
    int afterMs = 3000;           // from opening the editor to the photograph
    double scale = 1.0;           // the editor's scale (1 to 2)
    AudioReader* play = nullptr;  // played through the plug-in meanwhile, or null
    // Polled between idle calls: a non-zero answer (the signal) closes the
    // editor at once and takes no photograph.
    int (*interrupted)() = nullptr;
};

// Whether there is a display to open editors on; false with a one-line
// error otherwise.
bool EditorDisplayAvailable(std::string& error);

// plugin is loaded (and configured). The window's pixels; null with a
// one-line error, or with an empty error when interrupted.
std::unique_ptr<MemBitmap> PhotographEditor(PluginInstance& plugin, const EditorPhotoRequest& request,
                                            std::string& error);
