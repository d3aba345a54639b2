// The lock of one standard stream: held for a whole print, and taken again by the thread that
// already holds it, so that a print started inside another print does not wait on itself.
#pragma once

#include <atomic>
#include <cstdint>

namespace tembra {

class StreamLock {
 public:
  void lock();
  // Takes the lock only if it is free or already this thread's.
  [[nodiscard]] bool try_lock();
  // Only by the thread that holds the lock, once for each time it took it.
  void unlock();
  [[nodiscard]] bool held_by_this_thread() const;

 private:
  std::atomic<std::uintptr_t> owner_{0};  // 0 when free
  std::uint32_t depth_ = 0;               // touched only by the owner
};

// Holds a stream's lock for one scope.
class StreamLockGuard {
 public:
  [[nodiscard]] explicit StreamLockGuard(StreamLock& lock) : lock_(lock) { lock_.lock(); }
  ~StreamLockGuard() { lock_.unlock(); }
  StreamLockGuard(const StreamLockGuard&) = delete;
  StreamLockGuard& operator=(const StreamLockGuard&) = delete;

 private:
  StreamLock& lock_;
};

}  // namespace tembra
