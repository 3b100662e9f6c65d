#include "editor/bitmap_cache.h"

#include <utility>
#include <vector>

#include "core/plugin_lock.h"
#include "editor/png_resource_bitmap.h"

namespace {

struct Entry {
    int id;
    std::unique_ptr<IRasterBitmap> bitmap;
};

// Function-local statics: built on first use (from any instance's
// constructor), destroyed when the library unloads, after every instance.
RecursiveLock& CacheLock() {
    static RecursiveLock lock;
    return lock;
}

std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}

IRasterBitmap* FindLocked(int id) {
    for (const Entry& e : Entries()) {
        if (e.id == id) return e.bitmap.get();
    }
    return nullptr;
}

}  // namespace

namespace BitmapCache {

IRasterBitmap* Find(int id) {
    LockGuard guard(CacheLock());
    return FindLocked(id);
}

IRasterBitmap* Insert(int id, std::unique_ptr<IRasterBitmap> bitmap) {
    LockGuard guard(CacheLock());
    if (IRasterBitmap* existing = FindLocked(id)) return existing;
    if (!bitmap) return nullptr;
    Entries().push_back(Entry{id, std::move(bitmap)});
    return Entries().back().bitmap.get();
}

long long DecodedBytes() {
    LockGuard guard(CacheLock());
    long long total = 0;
    for (const Entry& e : Entries()) {
        if (auto* lazy = dynamic_cast<const PngResourceBitmap*>(e.bitmap.get())) {
            total += lazy->DecodedBytes();
        } else if (e.bitmap->PixelPointer()) {
            total += 4LL * e.bitmap->RowStride() * e.bitmap->Height();
        }
    }
    return total;
}

}  // namespace BitmapCache
