// Waiting on an object. A standard handle with a write in flight finishes that write (or
// leaves it pending, as scripted); every other object is signalled at once.
#include "platform/sim/internal.h"

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  std::string call = "WaitForSingleObject(" + sim::detail::label(hHandle) + ", " +
                     sim::detail::hex(dwMilliseconds) + ")";
  if (auto code = sim::detail::take_failure("WaitForSingleObject")) {
    sim::detail::set_last_error(*code);
    sim::detail::log_call(call + " = " + sim::detail::hex(WAIT_FAILED));
    return WAIT_FAILED;
  }
  (void)sim::detail::finish_pending_write(hHandle);
  sim::detail::log_call(call + " = " + std::to_string(WAIT_OBJECT_0));
  return WAIT_OBJECT_0;
}
