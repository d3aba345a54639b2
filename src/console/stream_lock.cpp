#include "console/stream_lock.h"

#include <cassert>

#include "platform/win32.h"

namespace tembra {

namespace {

// Thread ids are never 0, which marks a free lock. (Thread-local storage would pull the
// runtime's thread emulation into the exe.)
std::uintptr_t this_thread_token() {
  return GetCurrentThreadId();
}

}  // namespace

bool StreamLock::try_lock() {
  const std::uintptr_t me = this_thread_token();
  if (owner_.load(std::memory_order_relaxed) == me) {
    ++depth_;
    return true;
  }
  std::uintptr_t expected = 0;
  if (!owner_.compare_exchange_strong(expected, me, std::memory_order_acquire)) {
    return false;
  }
  depth_ = 1;
  return true;
}

void StreamLock::lock() {
  // The program prints from one thread; contention is rare and short, so yielding suffices.
  while (!try_lock()) {
    Sleep(0);
  }
}

void StreamLock::unlock() {
  assert(held_by_this_thread() && depth_ != 0);
  if (--depth_ == 0) {
    owner_.store(0, std::memory_order_release);
  }
}

bool StreamLock::held_by_this_thread() const {
  return owner_.load(std::memory_order_relaxed) == this_thread_token();
}

}  // namespace tembra
