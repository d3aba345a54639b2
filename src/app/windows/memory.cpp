// Every allocation of the program comes from the process heap, as the program's own blocks do,
// and either succeeds or ends the process with "memory allocation of N bytes failed": nothing is
// thrown, nothing aborts silently. Each block is aligned as the compiler assumes (see new_block).
#include <cstddef>
#include <new>

#include "console/process_heap.h"

void* operator new(std::size_t bytes) {
  return tembra::new_block(bytes);
}
void* operator new[](std::size_t bytes) {
  return tembra::new_block(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return tembra::new_block(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return tembra::new_block(bytes);
}
void operator delete(void* block) noexcept {
  tembra::free_new_block(block);
}
void operator delete[](void* block) noexcept {
  tembra::free_new_block(block);
}
void operator delete(void* block, std::size_t) noexcept {
  tembra::free_new_block(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  tembra::free_new_block(block);
}

void* operator new(std::size_t bytes, std::align_val_t alignment) {
  return tembra::new_block(bytes, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
  return tembra::new_block(bytes, static_cast<std::size_t>(alignment));
}
void operator delete(void* block, std::align_val_t) noexcept {
  tembra::free_new_block(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  tembra::free_new_block(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  tembra::free_new_block(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  tembra::free_new_block(block);
}
