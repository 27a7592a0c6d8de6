// Calls of malloc, calloc and realloc anywhere in the process (malloc_counter.cpp).
#pragma once

#include <cstdint>

namespace vimo::bench {

std::uint64_t MallocCount();

}  // namespace vimo::bench
