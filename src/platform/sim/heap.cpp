// The process heap. Blocks come from the host's allocator, so that the sanitizers still see
// them, and the simulator keeps each one it handed out until it comes back.
// Every release leaves a junk last error behind, as the platform's may.
//
// The platform's heap aligns blocks to 8 bytes on 32-bit Windows, and to more only by chance.
// Each block here starts 8 bytes into one of the host's, which are 16-byte aligned, so code that
// counts on more than 8 fails every time rather than now and then; a test that needs the chance
// asks for it (align_next_heap_block). The host's bytes in front of every block are poisoned: a
// write there ends the test with the address sanitizer's report.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/sim/internal.h"

namespace sim {
namespace {

constexpr std::size_t kOffset = 8;

struct Heap {
  void* handle = nullptr;
  // Live blocks, each with the number of the host's bytes in front of it.
  std::unordered_map<const void*, std::size_t> blocks;
  std::vector<std::string> bad_releases;
  std::size_t next_lead = kOffset;  // in front of the next block HeapAlloc hands out
};

Heap& heap() {
  static Heap instance;
  return instance;
}

// The host's allocation that holds a live block.
void* host_allocation(const void* block) {
  return static_cast<char*>(const_cast<void*>(block)) - heap().blocks.at(block);
}

// A live block `lead` bytes into the host's allocation, the bytes in front of it poisoned (the
// host's allocator opens them again when it hands the bytes out anew).
void* block_in(void* allocation, std::size_t lead) {
  if (allocation == nullptr) {
    return nullptr;
  }
  ASAN_POISON_MEMORY_REGION(allocation, lead);
  char* block = static_cast<char*>(allocation) + lead;
  heap().blocks[block] = lead;
  return block;
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

void align_next_heap_block(std::size_t alignment) {
  heap().next_lead = alignment;
}

int live_heap_blocks() {
  return static_cast<int>(heap().blocks.size());
}

const std::vector<std::string>& bad_heap_releases() {
  return heap().bad_releases;
}

namespace detail {

void reset_heap() {
  // A block still out belonged to the process that ends here.
  for (const auto& [block, lead] : heap().blocks) {
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
  // The host's allocation is 16-byte aligned, or aligned to the lead of a block asked to be.
  const std::size_t lead = std::exchange(sim::heap().next_lead, sim::kOffset);
  void* allocation = nullptr;
  if (!sim::detail::take_failure("HeapAlloc") &&
      posix_memalign(&allocation, std::max(lead, 2 * sim::kOffset), lead + dwBytes) != 0) {
    allocation = nullptr;
  }
  void* block = sim::block_in(allocation, lead);
  sim::detail::log_call(call + " = " + sim::detail::ptr(block));
  return block;
}

LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, std::size_t dwBytes) {
  std::string call = "HeapReAlloc(" + sim::detail::label(hHeap) + ", " + sim::detail::hex(dwFlags) +
                     ", " + sim::detail::ptr(lpMem) + ", " + std::to_string(dwBytes) + ")";
  void* block = nullptr;
  if (!sim::detail::take_failure("HeapReAlloc") && sim::known(call, lpMem)) {
    const std::size_t lead = sim::heap().blocks.at(lpMem);
    void* allocation = std::realloc(sim::host_allocation(lpMem), lead + dwBytes);
    if (allocation != nullptr) {
      sim::heap().blocks.erase(lpMem);
      block = sim::block_in(allocation, lead);
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
    std::free(sim::host_allocation(lpMem));
    sim::heap().blocks.erase(lpMem);
  }
  sim::detail::leave_last_error_behind();
  sim::detail::log_call(call + " = 1");
  return TRUE;
}
