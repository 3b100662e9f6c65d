// The editor of this build's window system: each window system supplies
// this one function in its own folder (editor/win, editor/x11), and a build
// without one gets the windowless editor. Nothing else knows which it is.
#pragma once

#include <memory>

#include "editor/editor.h"
#include "editor/resource_source.h"

// resources finds the pictures where the window system has no resources of
// its own (every build but the Windows library).
std::unique_ptr<IEditor> CreatePlatformEditor(IEditorDelegate* plugin, int width, int height, int frameRate,
                                              ResourceFinder resources);
