// Test helper: records the largest single allocation while a probe is active.
#pragma once
#include <cstddef>

// Replaces every variant of the global operator new and delete of the test executables
// (one counted malloc-based allocator, so allocations and releases always pair up,
// also inside libraries loaded at run time).
class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;
    // Largest request seen since construction.
    size_t Largest() const;
};
