#include "tests/editor/editor_test_support.h"

#include <deque>
#include <mutex>

#include "raster/mem_bitmap.h"
#include "raster/png_encode.h"

namespace editortest {
namespace {

struct Stored {
    int id;
    std::vector<std::uint8_t> bytes;
};

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

// A deque: entries never move once added.
std::deque<Stored>& Table() {
    static std::deque<Stored> table;
    return table;
}

}  // namespace

PackedPixel FrameColour(int id, int frame) {
    return PackedPixel{static_cast<std::uint8_t>(frame & 0xFF), static_cast<std::uint8_t>((frame >> 8) * 16 + 1),
                       static_cast<std::uint8_t>(id & 0xFF), 255};
}

std::vector<std::uint8_t> StripPng(int id, int w, int h, int frames, bool border) {
    MemBitmap strip(w, h * frames);
    for (int f = 1; f <= frames; ++f) {
        for (int y = 0; y < h; ++y) {
            PackedPixel* row = strip.PixelPointer() + static_cast<std::ptrdiff_t>((f - 1) * h + y) * strip.RowStride();
            for (int x = 0; x < w; ++x) {
                const bool edge = border && (x == 0 || y == 0 || x == w - 1 || y == h - 1);
                row[x] = edge ? PackedPixel{0, 0, 0, 0} : FrameColour(id, f);
            }
        }
    }
    return EncodePng(strip);
}

void AddResource(int id, std::vector<std::uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(TableLock());
    Table().push_back(Stored{id, std::move(bytes)});
}

bool FindTestResource(int id, IResourceBytes* out) {
    std::lock_guard<std::mutex> guard(TableLock());
    for (const Stored& s : Table()) {
        if (s.id != id) continue;
        out->data = s.bytes.data();
        out->size = static_cast<int>(s.bytes.size());
        return true;
    }
    return false;
}

}  // namespace editortest
