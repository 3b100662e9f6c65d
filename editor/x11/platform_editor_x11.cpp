// Linux builds: the editor opens in the X11 window the host gives it.
#include "editor/platform_editor.h"
#include "editor/x11/x11_editor.h"

std::unique_ptr<IEditor> CreatePlatformEditor(IEditorDelegate* plugin, int width, int height, int frameRate,
                                              ResourceFinder resources) {
    return std::make_unique<IEditorX11>(plugin, width, height, frameRate, resources);
}
