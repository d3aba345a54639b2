#include "base/pause.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "base/unique_handle.h"
#include "platform/win32.h"

namespace tembra {

namespace {

constexpr std::uint64_t kIntervalsPerSecond = 10'000'000;  // of 100 ns
constexpr std::uint32_t kNanosPerInterval = 100;
constexpr std::uint64_t kMillisPerSecond = 1000;
constexpr std::uint32_t kNanosPerMilli = 1'000'000;

// A kernel object's handle as CreateWaitableTimerExW gives it: null when there is none.
struct TimerHandleTraits {
  using Handle = HANDLE;
  static void close(Handle handle) { (void)CloseHandle(handle); }
};

// The sole owner of one timer handle; closes it exactly once.
class [[nodiscard]] WaitableTimer {
 public:
  [[nodiscard]] static std::optional<WaitableTimer> create_high_resolution() {
    HANDLE handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                           TIMER_ALL_ACCESS);
    if (handle == nullptr) {
      return std::nullopt;
    }
    return WaitableTimer(handle);
  }

  // `due` in 100 ns intervals, negative for a time relative to now.
  [[nodiscard]] bool set(LONGLONG due) const {
    LARGE_INTEGER due_time;
    due_time.QuadPart = due;
    return SetWaitableTimer(handle_.get(), &due_time, 0, nullptr, nullptr, FALSE) != FALSE;
  }

  [[nodiscard]] bool wait() const {
    return WaitForSingleObject(handle_.get(), INFINITE) != WAIT_FAILED;
  }

 private:
  explicit WaitableTimer(HANDLE handle) : handle_(handle) {}
  UniqueHandle<TimerHandleTraits> handle_;
};

// The span in 100 ns intervals (a remainder below 100 ns dropped), if a due time can hold it.
[[nodiscard]] std::optional<LONGLONG> due_intervals(Duration duration) {
  constexpr std::uint64_t kLimit = std::numeric_limits<LONGLONG>::max();
  if (duration.seconds > kLimit / kIntervalsPerSecond) {
    return std::nullopt;
  }
  const std::uint64_t intervals =
      duration.seconds * kIntervalsPerSecond + duration.nanos / kNanosPerInterval;
  if (intervals > kLimit) {
    return std::nullopt;
  }
  return static_cast<LONGLONG>(intervals);
}

// The span in whole milliseconds, rounded up; INFINITE when a DWORD cannot hold it.
DWORD sleep_millis(Duration duration) {
  constexpr std::uint64_t kLimit = std::numeric_limits<DWORD>::max();
  if (duration.seconds > kLimit / kMillisPerSecond) {
    return INFINITE;
  }
  const std::uint64_t millis = duration.seconds * kMillisPerSecond +
                               duration.nanos / kNanosPerMilli +
                               (duration.nanos % kNanosPerMilli != 0 ? 1 : 0);
  return millis > kLimit ? INFINITE : static_cast<DWORD>(millis);
}

// False when the timer could not do the whole wait; the timer is closed either way.
[[nodiscard]] bool wait_on_timer(Duration duration) {
  const auto timer = WaitableTimer::create_high_resolution();
  if (!timer) {
    return false;
  }
  const auto intervals = due_intervals(duration);
  return intervals && timer->set(-*intervals) && timer->wait();
}

}  // namespace

void pause_for(Duration duration) {
  if (duration == Duration{}) {
    Sleep(0);
    return;
  }
  if (!wait_on_timer(duration)) {
    Sleep(sleep_millis(duration));
  }
}

}  // namespace tembra
