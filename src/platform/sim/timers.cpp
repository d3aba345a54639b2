// The simulated timers and sleeps. Nothing blocks: a set timer has signalled by the time it is
// waited on, and Sleep only leaves its line in the log (and runs what a test gave it).
#include <functional>
#include <unordered_map>
#include <utility>

#include "platform/sim/internal.h"

namespace sim {
namespace {

struct Timer {
  bool set = false;
};

std::function<void()>& sleep_action() {
  static std::function<void()> action;
  return action;
}

std::unordered_map<const void*, Timer>& timers() {
  static std::unordered_map<const void*, Timer> instance;
  return instance;
}

Timer* open_timer(HANDLE handle) {
  auto it = timers().find(handle);
  return it == timers().end() || !detail::is_open(handle) ? nullptr : &it->second;
}

}  // namespace

void run_in_next_sleep(std::function<void()> action) {
  sleep_action() = std::move(action);
}

namespace detail {

void reset_timers() {
  timers().clear();
  sleep_action() = nullptr;
}

}  // namespace detail
}  // namespace sim

using sim::detail::label;
using sim::detail::log_call;

HANDLE CreateWaitableTimerExW(LPSECURITY_ATTRIBUTES lpTimerAttributes, LPCWSTR lpTimerName,
                              DWORD dwFlags, DWORD dwDesiredAccess) {
  std::string call = "CreateWaitableTimerExW(" + sim::detail::ptr(lpTimerAttributes) + ", " +
                     sim::detail::wide(lpTimerName) + ", " + sim::detail::hex(dwFlags) + ", " +
                     sim::detail::hex(dwDesiredAccess) + ")";
  if (auto code = sim::detail::take_failure("CreateWaitableTimerExW")) {
    sim::detail::set_last_error(*code);
    log_call(call + " = null");
    return nullptr;
  }
  HANDLE handle = sim::detail::new_handle("timer");
  sim::timers()[handle] = {};
  log_call(call + " = " + label(handle));
  return handle;
}

BOOL SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod,
                      PTIMERAPCROUTINE pfnCompletionRoutine, LPVOID lpArgToCompletionRoutine,
                      BOOL fResume) {
  std::string call =
      "SetWaitableTimer(" + label(hTimer) + ", " +
      (lpDueTime == nullptr ? "null" : std::to_string(lpDueTime->QuadPart)) + ", " +
      std::to_string(lPeriod) + ", " + (pfnCompletionRoutine == nullptr ? "null" : "ptr") + ", " +
      sim::detail::ptr(lpArgToCompletionRoutine) + ", " + std::to_string(fResume) + ")";
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    log_call(call + " = 0");
    return FALSE;
  };
  if (auto code = sim::detail::take_failure("SetWaitableTimer")) {
    return fail(*code);
  }
  sim::Timer* timer = sim::open_timer(hTimer);
  if (timer == nullptr) {
    return fail(ERROR_INVALID_HANDLE);
  }
  if (lpDueTime == nullptr) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  timer->set = true;
  log_call(call + " = 1");
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::string call =
      "WaitForSingleObject(" + label(hHandle) + ", " + std::to_string(dwMilliseconds) + ")";
  auto answer = [&](DWORD result) {
    log_call(call + " = " + std::to_string(result));
    return result;
  };
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    return answer(WAIT_FAILED);
  };
  if (auto code = sim::detail::take_failure("WaitForSingleObject")) {
    return fail(*code);
  }
  const sim::Timer* timer = sim::open_timer(hHandle);
  if (timer == nullptr) {
    // A standard handle with a write in flight finishes it (or leaves it pending, as scripted).
    if (sim::detail::finish_pending_write(hHandle)) {
      return answer(WAIT_OBJECT_0);
    }
    return fail(ERROR_INVALID_HANDLE);
  }
  // A timer never set would never signal; the simulator answers at once instead of hanging.
  return answer(timer->set ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
}

BOOL CloseHandle(HANDLE hObject) {
  std::string call = "CloseHandle(" + label(hObject) + ")";
  const bool known = sim::detail::close_handle(hObject);
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    log_call(call + " = 0");
    return FALSE;
  };
  if (auto code = sim::detail::take_failure("CloseHandle")) {
    return fail(*code);
  }
  if (!known) {
    return fail(ERROR_INVALID_HANDLE);
  }
  sim::detail::leave_last_error_behind();
  log_call(call + " = 1");
  return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
  log_call("Sleep(" + std::to_string(dwMilliseconds) + ")");
  if (auto action = std::exchange(sim::sleep_action(), nullptr)) {
    action();
  }
}
