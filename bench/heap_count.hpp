#pragma once

// Counts what operator new hands out while counting is on, so a benchmark can
// show how much memory one call takes. The counting replaces the global
// operator new and delete of the program it is linked into.

#include <cstddef>
#include <cstdint>

struct HeapUse {
    std::int64_t allocations = 0;
    // The most bytes held at once beyond what was held when counting started.
    std::int64_t peak_bytes = 0;
};

void start_heap_count();
HeapUse stop_heap_count();
