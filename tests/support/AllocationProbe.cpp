// Test helper: every operator new variant counts its request, then uses malloc.
#include "support/AllocationProbe.h"
#include <atomic>
#include <cstdlib>
#include <new>

static std::atomic<int> g_activeProbes{0};
static std::atomic<size_t> g_largest{0};

static void Record(size_t size)
{
    if (g_activeProbes.load(std::memory_order_relaxed) == 0)
        return;
    size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
}

static void* Allocate(size_t size, size_t alignment, bool mayThrow)
{
    Record(size);
    if (size == 0)
        size = 1;
    void* memory = nullptr;
    if (alignment <= alignof(std::max_align_t))
        memory = std::malloc(size);
    else
        memory = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (memory == nullptr && mayThrow)
        throw std::bad_alloc();
    return memory;
}

// Every variant, so that allocation and release always pair malloc with free.
void* operator new(size_t size) { return Allocate(size, 0, true); }
void* operator new[](size_t size) { return Allocate(size, 0, true); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0, false); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size, 0, false); }
void* operator new(size_t size, std::align_val_t a) { return Allocate(size, static_cast<size_t>(a), true); }
void* operator new[](size_t size, std::align_val_t a) { return Allocate(size, static_cast<size_t>(a), true); }
void* operator new(size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<size_t>(a), false);
}
void* operator new[](size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<size_t>(a), false);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept { std::free(memory); }

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
