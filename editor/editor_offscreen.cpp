#include "editor/editor_offscreen.h"

#include "editor/png_resource_bitmap.h"
#include "editor/rect_rules.h"

std::unique_ptr<IRasterBitmap> NewPictureFromResource(ResourceFinder finder, int id, const char* fileName) {
    if (!finder || !HasPngResourceName(fileName)) return nullptr;
    IResourceBytes bytes;
    if (!finder(id, &bytes) || !bytes.data || bytes.size < 8) return nullptr;
    return std::make_unique<PngResourceBitmap>(bytes.data, bytes.size);
}

IEditorOffscreen::IEditorOffscreen(IEditorDelegate* plugin, int width, int height, int frameRate,
                                   ResourceFinder resources)
    : IEditor(plugin, width, height, frameRate), mResources(resources) {}

bool IEditorOffscreen::PresentRegion(const IRectangle&) {
    ++mPresentations;
    return true;
}

void* IEditorOffscreen::OpenEditorWindow(void*) { return nullptr; }

std::unique_ptr<IRasterBitmap> IEditorOffscreen::LoadBitmapResource(int resourceId, const char* fileName) {
    return NewPictureFromResource(mResources, resourceId, fileName);
}
