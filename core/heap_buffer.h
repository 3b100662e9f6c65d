// Growable byte buffer with a growth granularity: storage of state chunks and
// of every owning list of the base.
#pragma once

#include <cstddef>
#include <cstdint>

// The allocation functions behind every IHeapBuffer. Tests replace them to
// drive the out-of-memory paths; a null argument (or a null member) restores
// the C library's realloc/malloc. Not thread-safe: set it while no buffer is
// being resized on another thread.
struct IHeapAllocator {
    void* (*reallocate)(void* block, std::size_t bytes);
    void* (*allocate)(std::size_t bytes);
};
void SetHeapAllocator(const IHeapAllocator* allocator);

class IHeapBuffer {
public:
    explicit IHeapBuffer(int granularity = 4096) : mGranularity(granularity) {}
    ~IHeapBuffer();
    IHeapBuffer(const IHeapBuffer&) = delete;
    IHeapBuffer& operator=(const IHeapBuffer&) = delete;

    // Sets the used size to n bytes (negative counts as 0). Grows the
    // allocation by the granularity rule; shrinks it only when allowShrink is
    // set and n falls below the shrink threshold. On allocation failure the
    // buffer stays exactly as it was (compare Length() with n to detect it).
    // Returns Data() (null when empty).
    void* SetLength(int n, bool allowShrink = true);

    int Length() const { return mUsed; }
    int Allocated() const { return mAllocated; }
    int Granularity() const { return mGranularity; }
    std::uint8_t* Data() { return mData; }
    const std::uint8_t* Data() const { return mData; }

private:
    std::uint8_t* mData = nullptr;
    int mAllocated = 0;
    int mUsed = 0;
    int mGranularity;
};

// Ordered owning list of T on IHeapBuffer storage; elements are destroyed
// last to first.
template <typename T>
class IOwningList {
public:
    IOwningList() : mStorage(static_cast<int>(sizeof(T*)) * 32) {}
    ~IOwningList() {
        for (int i = Count() - 1; i >= 0; --i) delete Get(i);
    }
    IOwningList(const IOwningList&) = delete;
    IOwningList& operator=(const IOwningList&) = delete;

    int Count() const { return mStorage.Length() / static_cast<int>(sizeof(T*)); }
    T* Get(int i) const { return (i >= 0 && i < Count()) ? reinterpret_cast<T* const*>(mStorage.Data())[i] : nullptr; }
    // Takes ownership; returns false (and deletes the element) when storage
    // cannot grow.
    bool Add(T* item) {
        const int n = Count();
        const int bytes = (n + 1) * static_cast<int>(sizeof(T*));
        mStorage.SetLength(bytes);
        if (mStorage.Length() != bytes) {
            delete item;
            return false;
        }
        reinterpret_cast<T**>(mStorage.Data())[n] = item;
        return true;
    }

private:
    IHeapBuffer mStorage;
};
