// The list head lives in the same file as the PNG registration, so that any
// program reading the list also links the entry that fills it.
#include "raster/image_loader_list.h"

#include "raster/png_loader.h"

// Constant-initialised: it is null before any dynamic initialiser runs.
ImageLoaderEntry* gImageLoaders = nullptr;

namespace {

ImageLoaderEntry gPngLoaderEntry = {LoadImageByExtension, PngFileFilter, nullptr};

struct PushPngLoader {
    PushPngLoader() {
        gPngLoaderEntry.next = gImageLoaders;
        gImageLoaders = &gPngLoaderEntry;
    }
};
const PushPngLoader gPushPngLoader;

}  // namespace
