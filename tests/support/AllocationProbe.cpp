// Test helper: every operator new variant counts its request, then uses malloc; malloc,
// calloc and realloc count theirs when asked (outside sanitizer builds, whose runtime owns them).
#include "support/AllocationProbe.h"
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

static std::atomic<int> g_activeProbes{0};
static std::atomic<int> g_mallocProbes{0};
static std::atomic<size_t> g_largest{0};

// Keeps the largest request while any probe of the given kind is alive.
static void Record(const std::atomic<int>& probes, size_t size)
{
    if (probes.load(std::memory_order_relaxed) == 0)
        return;
    size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
    }
}

static void* Allocate(size_t size, size_t alignment, bool mayThrow)
{
    Record(g_activeProbes, size);
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define STARFALL_PROBE_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define STARFALL_PROBE_MALLOC 0
#endif
#endif
#ifndef STARFALL_PROBE_MALLOC
#define STARFALL_PROBE_MALLOC 1
#endif

#if STARFALL_PROBE_MALLOC
// The C libraries (libpng, libjpeg, zlib) allocate with malloc: their requests count too.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* memory, size_t size);

void* malloc(size_t size) noexcept
{
    Record(g_mallocProbes, size);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept
{
    Record(g_mallocProbes, size != 0 && count > SIZE_MAX / size ? SIZE_MAX : count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* memory, size_t size) noexcept
{
    Record(g_mallocProbes, size);
    return __libc_realloc(memory, size);
}
}
#endif

AllocationProbe::AllocationProbe(Count count) : count_(count)
{
    g_largest = 0;
    ++g_activeProbes;
    if (count_ == Count::MallocToo)
        ++g_mallocProbes;
}

AllocationProbe::~AllocationProbe()
{
    if (count_ == Count::MallocToo)
        --g_mallocProbes;
    --g_activeProbes;
}

size_t AllocationProbe::Largest() const
{
    return g_largest.load();
}
