// Test helper: records the largest single operator-new request while a probe is active.
#pragma once
#include <cstddef>

class AllocationProbe {
public:
    AllocationProbe();
    ~AllocationProbe();
    AllocationProbe(const AllocationProbe&) = delete;
    AllocationProbe& operator=(const AllocationProbe&) = delete;
    // Largest request seen since construction.
    size_t Largest() const;
};
