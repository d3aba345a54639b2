// Every allocation of the program comes from the process heap, as the program's own blocks do,
// and either succeeds or ends the process with "memory allocation of N bytes failed": nothing is
// thrown, nothing aborts silently.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

#include "console/fatal.h"
#include "console/process_heap.h"
#include "platform/win32.h"

namespace {

// The heap's blocks suit every fundamental type. A larger alignment takes a block with room to
// move the start up to it, and keeps the block's own address just below that start.
void* allocate_aligned(std::size_t bytes, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t room = align - 1 + sizeof(void*);
  void* block = bytes <= std::numeric_limits<std::size_t>::max() - room
                    ? HeapAlloc(GetProcessHeap(), 0, bytes + room)
                    : nullptr;
  if (block == nullptr) {
    tembra::fatal_allocation_failure(bytes);
  }
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + room) & ~(align - 1);
  reinterpret_cast<void**>(start)[-1] = block;
  return reinterpret_cast<void*>(start);
}

void free_aligned(void* start) {
  if (start != nullptr) {
    tembra::heap_free(static_cast<void**>(start)[-1]);
  }
}

}  // namespace

void* operator new(std::size_t bytes) {
  return tembra::heap_allocate(bytes);
}
void* operator new[](std::size_t bytes) {
  return tembra::heap_allocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return tembra::heap_allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return tembra::heap_allocate(bytes);
}
void operator delete(void* block) noexcept {
  tembra::heap_free(block);
}
void operator delete[](void* block) noexcept {
  tembra::heap_free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  tembra::heap_free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  tembra::heap_free(block);
}

void* operator new(std::size_t bytes, std::align_val_t alignment) {
  return allocate_aligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
  return allocate_aligned(bytes, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept {
  free_aligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  free_aligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  free_aligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  free_aligned(block);
}
