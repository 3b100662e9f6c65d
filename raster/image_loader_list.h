// The library's list of image loaders, keyed by file extension: a generic
// "open an image file" entry point can walk it and let each loader check the
// extension. Entries are pushed at static initialisation and live for the
// module's lifetime; the list is only written then, so reading it needs no
// lock.
#pragma once

#include "raster/raster_bitmap.h"

struct ImageLoaderEntry {
    // (path, check-extension flag, destination or null) -> bitmap or null;
    // the same ownership rules as LoadPngFromFile.
    IRasterBitmap* (*load)(const char* path, bool checkExtension, IRasterBitmap* destination);
    // Description/pattern pairs for a file-open dialog, ended by an empty
    // description.
    const char* (*filterList)();
    ImageLoaderEntry* next;
};

// Head of the list (most recently pushed first); holds the PNG entry.
extern ImageLoaderEntry* gImageLoaders;
