// The simulated thread ids. The answer has no effect on the machine and cannot fail, and the
// console takes its lock on every print, so the call is left out of the log.
#include <atomic>

#include "platform/sim/internal.h"

DWORD GetCurrentThreadId() {
  static std::atomic<DWORD> next_id{1};
  thread_local const DWORD id = next_id.fetch_add(1);
  return id;
}
