// Builds without X11 (Windows): no editor windows to photograph.
#include "tools/velmor-host/editor_photo.h"

bool EditorDisplayAvailable(std::string& error) {
    error = "the editor command needs an X11 display; this build of velmor-host has no X11";
    return false;
}

std::unique_ptr<MemBitmap> PhotographEditor(PluginInstance&, const EditorPhotoRequest&, std::string& error) {
    EditorDisplayAvailable(error);
    return nullptr;
}
