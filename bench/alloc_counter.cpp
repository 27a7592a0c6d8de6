// The program's global operator new and delete: malloc and free, with a count of every
// allocation. Over-aligned requests over-allocate and keep the malloc pointer just before
// the block they hand out, so nothing here depends on the C library's aligned allocator.
#include "alloc_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vimo::bench {
namespace {

std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> bytes{0};

void* Allocate(std::size_t size) noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
  bytes.fetch_add(size, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t align) noexcept {
  const auto alignment = static_cast<std::size_t>(align);
  allocations.fetch_add(1, std::memory_order_relaxed);
  bytes.fetch_add(size, std::memory_order_relaxed);
  void* raw = std::malloc(size + alignment + sizeof(void*));
  if (raw == nullptr) return nullptr;
  char* const start = static_cast<char*>(raw) + sizeof(void*);
  const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(start) & (alignment - 1);
  char* const aligned = start + (misalignment == 0 ? 0 : alignment - misalignment);
  std::memcpy(aligned - sizeof(void*), &raw, sizeof(void*));
  return aligned;
}

void FreeAligned(void* block) noexcept {
  if (block == nullptr) return;
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<char*>(block) - sizeof(void*), sizeof(void*));
  std::free(raw);
}

}  // namespace

std::uint64_t AllocationCount() { return allocations.load(std::memory_order_relaxed); }
std::uint64_t AllocatedBytes() { return bytes.load(std::memory_order_relaxed); }

}  // namespace vimo::bench

using vimo::bench::Allocate;
using vimo::bench::AllocateAligned;
using vimo::bench::FreeAligned;

void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t align) {
  if (void* block = AllocateAligned(size, align)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) {
  if (void* block = AllocateAligned(size, align)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(block);
}
