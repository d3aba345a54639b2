#include "console/process_heap.h"

#include <cstdint>
#include <limits>

#include "console/fatal.h"
#include "platform/win32.h"

namespace tembra {

void* heap_allocate(std::size_t bytes) {
  void* block = HeapAlloc(GetProcessHeap(), 0, bytes);
  if (block == nullptr) {
    fatal_allocation_failure(bytes);
  }
  return block;
}

void* heap_reallocate(void* block, std::size_t bytes) {
  void* moved = HeapReAlloc(GetProcessHeap(), 0, block, bytes);
  if (moved == nullptr) {
    fatal_allocation_failure(bytes);
  }
  return moved;
}

void heap_free(void* block) {
  if (block != nullptr) {
    (void)HeapFree(GetProcessHeap(), 0, block);
  }
}

// The heap's block has room to move the start up to the alignment, and keeps its own address
// just below that start.
void* new_block(std::size_t bytes, std::size_t alignment) {
  const std::size_t room = alignment - 1 + sizeof(void*);
  void* block = bytes <= std::numeric_limits<std::size_t>::max() - room
                    ? HeapAlloc(GetProcessHeap(), 0, bytes + room)
                    : nullptr;
  if (block == nullptr) {
    fatal_allocation_failure(bytes);
  }
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + room) & ~(alignment - 1);
  reinterpret_cast<void**>(start)[-1] = block;
  return reinterpret_cast<void*>(start);
}

void free_new_block(void* start) {
  if (start != nullptr) {
    heap_free(static_cast<void**>(start)[-1]);
  }
}

}  // namespace tembra
