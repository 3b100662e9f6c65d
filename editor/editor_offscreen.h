// The editor where there is no window system to open it in (or for tools and
// tests that only want its pixels): OpenEditorWindow fails, so hosts are not
// offered it, while everything else works — controls, routing, painting into
// the surface. Pictures come from a resource table.
#pragma once

#include "editor/editor.h"
#include "editor/resource_source.h"

class IEditorOffscreen : public IEditor {
public:
    IEditorOffscreen(IEditorDelegate* plugin, int width, int height, int frameRate, ResourceFinder resources);

    bool HasWindowSystem() const override { return false; }
    // Nothing to copy to; counts the presentations for tests.
    bool PresentRegion(const IRectangle& rect) override;
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override {}
    void* EditorWindow() const override { return nullptr; }
    std::unique_ptr<IRasterBitmap> LoadBitmapResource(int resourceId, const char* fileName) override;

    int Presentations() const { return mPresentations; }

private:
    ResourceFinder mResources;
    int mPresentations = 0;
};
