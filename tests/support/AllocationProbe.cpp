// Test helper: replaces the global operator new so a probe can see the largest request.
#include "AllocationProbe.h"
#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<int> g_activeProbes{0};
static std::atomic<size_t> g_largest{0};

static void* Allocate(size_t size)
{
    if (g_activeProbes.load(std::memory_order_relaxed) > 0) {
        size_t seen = g_largest.load(std::memory_order_relaxed);
        while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
        }
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

AllocationProbe::AllocationProbe()
{
    g_largest = 0;
    ++g_activeProbes;
}

AllocationProbe::~AllocationProbe()
{
    --g_activeProbes;
}

size_t AllocationProbe::Largest() const
{
    return g_largest.load();
}
