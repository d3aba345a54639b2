// The process heap. Blocks come from the host's allocator, so the sanitizers still see them.
// The C runtime's heap lies on it too: the host build links the program's calls of free to
// __wrap_free (ld's --wrap), which frees as the host does and then disturbs the last error, as
// the platform's free may.
#include <cstdlib>

#include "platform/sim/internal.h"

namespace sim {
namespace {

struct Heap {
  void* handle = nullptr;
  int live = 0;
};

Heap& heap() {
  static Heap instance;
  return instance;
}

}  // namespace

int live_heap_blocks() {
  return heap().live;
}

namespace detail {

void reset_heap() {
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
    block = std::malloc(dwBytes == 0 ? 1 : dwBytes);
  }
  if (block != nullptr) {
    ++sim::heap().live;
  }
  sim::detail::log_call(call + " = " + sim::detail::ptr(block));
  return block;
}

BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  sim::detail::log_call("HeapFree(" + sim::detail::label(hHeap) + ", " + sim::detail::hex(dwFlags) +
                        ", " + sim::detail::ptr(lpMem) + ") = 1");
  if (lpMem != nullptr) {
    --sim::heap().live;
    std::free(lpMem);
  }
  sim::detail::leave_last_error_behind();
  return TRUE;
}

extern "C" void __real_free(void* block);

extern "C" void __wrap_free(void* block) {
  __real_free(block);
  sim::detail::leave_last_error_behind();
}
