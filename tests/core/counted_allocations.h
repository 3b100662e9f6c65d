// Counts the allocations made on threads that ask for it: global operator
// new, the core's heap-buffer allocator hook (CountedRealloc, CountedMalloc)
// and, on Linux without a sanitizer (which owns malloc itself), the malloc
// family, which also catches what a plug-in module loaded into the test
// allocates. Compile this file into the test executable itself: the
// replacements must be the program's own.
#pragma once

#include <atomic>
#include <cstddef>

extern std::atomic<long> gAllocations;
// Whether this thread's allocations count from now on. (A function, not
// the thread-local flag itself: sanitizer builds mishandle a thread-local
// reached from another file.)
void CountAllocations(bool on);

void* CountedRealloc(void* block, std::size_t n);
void* CountedMalloc(std::size_t n);

// One allocation and its release, where the compiler cannot leave them out:
// a check that the counter sees what it must.
void AllocateOnce();

// Whether the malloc family itself is counted (not under a sanitizer, not on
// Windows).
bool CountsMalloc();
