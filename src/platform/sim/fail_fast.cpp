#include <cstdlib>

#include "platform/sim/internal.h"
#include "platform/win32.h"

// The process ends as the platform ends it; a test sees only the exit status.
void raise_fast_fail(UINT code) {
  sim::detail::log_call("fail_fast(" + std::to_string(code) + ")");
  std::_Exit(sim::kFastFailExitStatus);
}
