// The process heap, where every block of the program comes from. Running out of it is no error
// of the run but an internal fault: the process ends with "memory allocation of <bytes> bytes
// failed".
#pragma once

#include <cstddef>

namespace tembra {

// A new block of `bytes` bytes.
[[nodiscard]] void* heap_allocate(std::size_t bytes);
// The block grown or shrunk to `bytes` bytes, its contents kept as far as both sizes reach; the
// old block is gone into it.
[[nodiscard]] void* heap_reallocate(void* block, std::size_t bytes);
// Gives a block back; a null block gives nothing. The platform's answer is of no use.
void heap_free(void* block);

// A block for operator new: its start aligned to `alignment` (a power of two), by default to
// what the compiler assumes of every such block, where the heap promises only 8 bytes on 32-bit
// Windows. Given back with free_new_block alone.
[[nodiscard]] void* new_block(std::size_t bytes,
                              std::size_t alignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__);
// Gives back a block from new_block; a null block gives nothing.
void free_new_block(void* start);

// Gives a block back, for std::unique_ptr.
struct HeapBlockFree {
  void operator()(void* block) const { heap_free(block); }
};

}  // namespace tembra
