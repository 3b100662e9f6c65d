// Makes every IHeapBuffer allocation fail while in scope, to drive the
// out-of-memory paths. realloc may be allowed to fail alone so that the
// fresh-block fallback is taken.
#pragma once

#include <cstdlib>

#include "core/heap_buffer.h"

class ScopedAllocationFailure {
public:
    explicit ScopedAllocationFailure(bool mallocFails = true) {
        static IHeapAllocator failBoth{[](void*, std::size_t) -> void* { return nullptr; },
                                       [](std::size_t) -> void* { return nullptr; }};
        static IHeapAllocator failRealloc{[](void*, std::size_t) -> void* { return nullptr; },
                                          [](std::size_t bytes) -> void* { return std::malloc(bytes); }};
        SetHeapAllocator(mallocFails ? &failBoth : &failRealloc);
    }
    ~ScopedAllocationFailure() { SetHeapAllocator(nullptr); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};
