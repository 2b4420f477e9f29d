#include "bench/heap_count.hpp"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

// One thread runs the benchmarks, so plain counters do.
bool counting = false;
std::int64_t allocations = 0;
std::int64_t live_bytes = 0;
std::int64_t peak_bytes = 0;

} // namespace

void start_heap_count()
{
    allocations = live_bytes = peak_bytes = 0;
    counting = true;
}

HeapUse stop_heap_count()
{
    counting = false;
    return {allocations, peak_bytes};
}

void* operator new(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    if (counting) {
        ++allocations;
        live_bytes += static_cast<std::int64_t>(malloc_usable_size(block));
        peak_bytes = std::max(peak_bytes, live_bytes);
    }
    return block;
}

void operator delete(void* block) noexcept
{
    // Blocks from before the count may go during it; live_bytes then dips below zero, which is fine.
    if (block && counting) live_bytes -= static_cast<std::int64_t>(malloc_usable_size(block));
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
