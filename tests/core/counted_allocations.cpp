#include "tests/core/counted_allocations.h"

#include <cstdlib>
#include <new>

std::atomic<long> gAllocations{0};

namespace {
thread_local bool tCounting = false;
void Note() {
    if (tCounting) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
// Out of line, so the compiler does not pair an inlined operator new with
// this free and warn about a mismatch that is none: both use malloc.
[[gnu::noinline]] void Release(void* p) noexcept { std::free(p); }
}  // namespace

void CountAllocations(bool on) { tCounting = on; }

void* CountedRealloc(void* block, std::size_t n) {
    Note();
    return std::realloc(block, n);
}
void* CountedMalloc(std::size_t n) {
    Note();
    return std::malloc(n);
}

void* operator new(std::size_t n) {
    Note();
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    Note();
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

// In this file, beside the replacements: a new-expression the compiler can
// see through elsewhere is left out, allocation and all.
[[gnu::noinline]] void AllocateOnce() { delete new int(1); }

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMOR_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMOR_SANITIZED 1
#endif

#if defined(__linux__) && !defined(VELMOR_SANITIZED)
// glibc lets a program replace its malloc family; forwarding to the
// library's own entry points keeps one allocator underneath.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* malloc(std::size_t n) {
    Note();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    Note();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    Note();
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}
bool CountsMalloc() { return true; }
#else
bool CountsMalloc() { return false; }
#endif
