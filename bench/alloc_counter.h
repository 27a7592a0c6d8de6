// Heap allocations made through operator new in this program. Linking alloc_counter.cpp
// into a benchmark replaces the global operator new and delete with counting versions
// over malloc and free.
#pragma once

#include <cstdint>

namespace vimo::bench {

// Calls of any operator new so far, and the bytes they asked for.
std::uint64_t AllocationCount();
std::uint64_t AllocatedBytes();

}  // namespace vimo::bench
