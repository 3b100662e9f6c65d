#include "editor/scaled_strip.h"

#include "editor/picture_resample.h"

ScaledStrip::ScaledStrip(IRasterBitmap* source, int frames, int frameWidth, int frameHeight)
    : mSource(source),
      mFrames(frames > 0 ? frames : 1),
      mFrameWidth(frameWidth),
      mFrameHeight(frameHeight),
      mDone(static_cast<std::size_t>(mFrames)) {}

IRasterBitmap* ScaledStrip::Frame(int frame) {
    if (!mSource || frame < 0 || frame >= mFrames || mFrameWidth <= 0 || mFrameHeight <= 0) return nullptr;
    std::lock_guard<std::mutex> lock(mMutex);
    std::unique_ptr<MemBitmap>& done = mDone[static_cast<std::size_t>(frame)];
    if (!done) {
        // One cell of the frame's size; ResampleFrame fills cell 0 of a
        // one-frame strip from frame `frame` of the source.
        auto cell = std::make_unique<MemBitmap>(mFrameWidth, mFrameHeight);
        if (!cell->PixelPointer()) return nullptr;
        if (!ResampleFrameInto(*mSource, mFrames, frame, *cell)) return nullptr;
        done = std::move(cell);
    }
    return done.get();
}

long long ScaledStrip::Bytes() {
    std::lock_guard<std::mutex> lock(mMutex);
    long long total = 0;
    for (const auto& f : mDone) {
        if (f) total += 4LL * f->RowStride() * f->Height();
    }
    return total;
}

namespace {

struct Entry {
    int id;
    int quarters;
    std::unique_ptr<ScaledStrip> strip;
};

std::mutex& StoreLock() {
    static std::mutex lock;
    return lock;
}

std::vector<Entry>& Store() {
    static std::vector<Entry> entries;
    return entries;
}

}  // namespace

namespace ScaledStrips {

ScaledStrip* Get(int id, int quarters, std::unique_ptr<ScaledStrip> (*make)(void*), void* context) {
    std::lock_guard<std::mutex> lock(StoreLock());
    for (const Entry& e : Store()) {
        if (e.id == id && e.quarters == quarters) return e.strip.get();
    }
    // Made under the lock: only the sizes and the source are worked out
    // here; the resizing happens frame by frame later.
    std::unique_ptr<ScaledStrip> strip = make ? make(context) : nullptr;
    if (!strip) return nullptr;
    Store().push_back(Entry{id, quarters, std::move(strip)});
    return Store().back().strip.get();
}

long long Bytes() {
    std::lock_guard<std::mutex> lock(StoreLock());
    long long total = 0;
    for (const Entry& e : Store()) total += e.strip->Bytes();
    return total;
}

}  // namespace ScaledStrips
