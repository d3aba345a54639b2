// Every allocation the program makes either succeeds or ends the process with
// "memory allocation of N bytes failed": nothing is thrown, nothing aborts silently.
#include <cstdlib>
#include <new>

#include "console/fatal.h"

namespace {

void* allocate(std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) {
    tembra::fatal_allocation_failure(bytes);
  }
  return block;
}

void* allocate_aligned(std::size_t bytes, std::align_val_t alignment) {
  void* block = _aligned_malloc(bytes == 0 ? 1 : bytes, static_cast<std::size_t>(alignment));
  if (block == nullptr) {
    tembra::fatal_allocation_failure(bytes);
  }
  return block;
}

}  // namespace

void* operator new(std::size_t bytes) {
  return allocate(bytes);
}
void* operator new[](std::size_t bytes) {
  return allocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return allocate(bytes);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

void* operator new(std::size_t bytes, std::align_val_t alignment) {
  return allocate_aligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
  return allocate_aligned(bytes, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept {
  _aligned_free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  _aligned_free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  _aligned_free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  _aligned_free(block);
}
