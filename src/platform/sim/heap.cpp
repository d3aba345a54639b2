// The process heap. Blocks come from the host's allocator, so that the sanitizers still see
// them, and the simulator keeps each one it handed out, with its size, until it comes back.
// Every release leaves a junk last error behind, as the platform's may.
//
// The platform's heap aligns blocks to 8 bytes on 32-bit Windows, and no more than that. Each
// block here starts 8 bytes into one of the host's, which are 16-byte aligned, so code that
// counts on more than 8 fails every time rather than now and then.
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "platform/sim/internal.h"

namespace sim {
namespace {

constexpr std::size_t kOffset = 8;

// The host's allocation that holds a block.
void* host_allocation(const void* block) {
  return static_cast<char*>(const_cast<void*>(block)) - kOffset;
}
void* block_in(void* allocation) {
  return allocation == nullptr ? nullptr : static_cast<char*>(allocation) + kOffset;
}

struct Heap {
  void* handle = nullptr;
  std::unordered_map<const void*, std::size_t> blocks;  // live, with their sizes
  std::vector<std::string> bad_releases;
};

Heap& heap() {
  static Heap instance;
  return instance;
}

// A block the heap did not hand out, or has taken back already: recorded, never touched.
bool known(const std::string& call, const void* block) {
  if (heap().blocks.contains(block)) {
    return true;
  }
  heap().bad_releases.push_back(call);
  return false;
}

}  // namespace

int live_heap_blocks() {
  return static_cast<int>(heap().blocks.size());
}

const std::vector<std::string>& bad_heap_releases() {
  return heap().bad_releases;
}

namespace detail {

void reset_heap() {
  // A block still out belonged to the process that ends here.
  for (const auto& [block, size] : heap().blocks) {
    std::free(host_allocation(block));
  }
  heap() = Heap{};
  heap().handle = new_unowned_handle("heap");
}

}  // namespace detail
}  // namespace sim

HANDLE GetProcessHeap() {
  sim::detail::log_call("GetProcessHeap() = " + sim::detail::label(sim::heap().handle));
  return sim::heap().handle;
}

LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, std::size_t dwBytes) {
  std::string call = "HeapAlloc(" + sim::detail::label(hHeap) + ", " + sim::detail::hex(dwFlags) +
                     ", " + std::to_string(dwBytes) + ")";
  void* block = nullptr;
  if (!sim::detail::take_failure("HeapAlloc")) {
    block = sim::block_in(std::malloc(sim::kOffset + dwBytes));
  }
  if (block != nullptr) {
    sim::heap().blocks[block] = dwBytes;
  }
  sim::detail::log_call(call + " = " + sim::detail::ptr(block));
  return block;
}

LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, std::size_t dwBytes) {
  std::string call = "HeapReAlloc(" + sim::detail::label(hHeap) + ", " + sim::detail::hex(dwFlags) +
                     ", " + sim::detail::ptr(lpMem) + ", " + std::to_string(dwBytes) + ")";
  void* block = nullptr;
  if (!sim::detail::take_failure("HeapReAlloc") && sim::known(call, lpMem)) {
    block = sim::block_in(std::realloc(sim::host_allocation(lpMem), sim::kOffset + dwBytes));
    if (block != nullptr) {
      sim::heap().blocks.erase(lpMem);
      sim::heap().blocks[block] = dwBytes;
      sim::detail::leave_last_error_behind();
    }
  }
  sim::detail::log_call(call + " = " + sim::detail::ptr(block));
  return block;
}

BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  std::string call = "HeapFree(" + sim::detail::label(hHeap) + ", " + sim::detail::hex(dwFlags) +
                     ", " + sim::detail::ptr(lpMem) + ")";
  if (lpMem != nullptr && !sim::known(call, lpMem)) {
    sim::detail::set_last_error(ERROR_INVALID_PARAMETER);
    sim::detail::log_call(call + " = 0");
    return FALSE;
  }
  if (lpMem != nullptr) {
    sim::heap().blocks.erase(lpMem);
    std::free(sim::host_allocation(lpMem));
  }
  sim::detail::leave_last_error_behind();
  sim::detail::log_call(call + " = 1");
  return TRUE;
}
