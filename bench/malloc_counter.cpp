// Every malloc of the process, C library and X libraries included, counted: the program's
// malloc, calloc and realloc pass on to the C library's own and add one to a count.
// Linked only into the Linux benchmark, where Xlib, GLib and GTK allocate through malloc.
#include "malloc_counter.h"

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
}

namespace {
std::atomic<std::uint64_t> mallocs{0};
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
  mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
  mallocs.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(block, size);
}
}

namespace vimo::bench {
std::uint64_t MallocCount() { return mallocs.load(std::memory_order_relaxed); }
}  // namespace vimo::bench
