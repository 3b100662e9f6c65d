// Builds without a window system: the windowless editor, which hosts are not
// offered but which paints for tools and tests.
#include "editor/editor_offscreen.h"
#include "editor/platform_editor.h"

std::unique_ptr<IEditor> CreatePlatformEditor(IEditorDelegate* plugin, int width, int height, int frameRate,
                                              ResourceFinder resources) {
    return std::make_unique<IEditorOffscreen>(plugin, width, height, frameRate, resources);
}
