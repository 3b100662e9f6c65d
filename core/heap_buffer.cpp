#include "core/heap_buffer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

void* DefaultReallocate(void* block, std::size_t bytes) { return std::realloc(block, bytes); }
void* DefaultAllocate(std::size_t bytes) { return std::malloc(bytes); }

IHeapAllocator gAllocator{DefaultReallocate, DefaultAllocate};

constexpr std::int64_t kPage = 4096;
constexpr std::int64_t kMaxGrowth = 4194304;  // 4 MiB
// Large buffers keep (allocation + kHeaderSlack) on a page multiple, leaving
// room for the C library's block header inside the same pages.
constexpr std::int64_t kHeaderSlack = 96;

// The allocation to make for n used bytes; -1 when it does not fit an int.
std::int64_t GrownAllocation(std::int64_t n, std::int64_t granularity) {
    if (n == 0) return 0;
    std::int64_t g = std::max(n / 2, granularity);
    std::int64_t allocation;
    if (granularity > kPage - 1) {
        g = std::clamp(g & ~(kPage - 1), kPage, kMaxGrowth);
        allocation = ((n + kHeaderSlack + g) & ~(kPage - 1)) - kHeaderSlack;
    } else {
        allocation = n + g;
    }
    return allocation > INT_MAX ? -1 : allocation;
}

}  // namespace

void SetHeapAllocator(const IHeapAllocator* allocator) {
    gAllocator.reallocate = (allocator && allocator->reallocate) ? allocator->reallocate : DefaultReallocate;
    gAllocator.allocate = (allocator && allocator->allocate) ? allocator->allocate : DefaultAllocate;
}

IHeapBuffer::~IHeapBuffer() { std::free(mData); }

void* IHeapBuffer::SetLength(int n, bool allowShrink) {
    if (n < 0) n = 0;
    if (n == mUsed) return n ? mData : nullptr;

    // Shrinking frees memory only when well under half the block is in use,
    // so a buffer that breathes around one size is not reallocated each time.
    std::int64_t threshold = 0;
    if (allowShrink && n < mUsed) {
        const std::int64_t allocated = mAllocated;
        threshold = std::max<std::int64_t>(1, std::min(allocated / 2, allocated - 4 * std::int64_t{mGranularity}));
    }

    if (mAllocated < n || n < threshold) {
        const std::int64_t allocation = GrownAllocation(n, mGranularity);
        if (allocation < 0) return Data();  // too large: unchanged, caller sees Length() != n
        if (allocation != mAllocated) {
            if (allocation == 0) {
                std::free(mData);
                mData = nullptr;
                mAllocated = 0;
                mUsed = 0;
                return nullptr;
            }
            const auto bytes = static_cast<std::size_t>(allocation);
            void* block = gAllocator.reallocate(mData, bytes);
            if (!block) {
                // realloc keeps the old block on failure; try a fresh one.
                block = gAllocator.allocate(bytes);
                if (!block) return Data();
                if (mData) std::memcpy(block, mData, static_cast<std::size_t>(std::min(n, mUsed)));
                std::free(mData);
            }
            mData = static_cast<std::uint8_t*>(block);
            mAllocated = static_cast<int>(allocation);
        }
    }
    mUsed = n;
    return n ? mData : nullptr;
}
