#include "console/process_heap.h"

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

}  // namespace tembra
