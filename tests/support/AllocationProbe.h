// Test helper: records the largest single allocation while a probe is active.
#pragma once
#include <cstddef>

// Replaces every variant of the global operator new and delete of the test executables
// (one counted malloc-based allocator, so allocations and releases always pair up,
// also inside libraries loaded at run time). Asked to, it also counts malloc, calloc and
// realloc: what C libraries (libpng, libjpeg, zlib) allocate; not in sanitizer builds,
// whose runtime owns those functions.
class AllocationProbe {
public:
    enum class Count { NewOnly, MallocToo };
    explicit AllocationProbe(Count count = Count::NewOnly);
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;
    // Largest request seen since construction.
    size_t Largest() const;

private:
    Count count_;
};
