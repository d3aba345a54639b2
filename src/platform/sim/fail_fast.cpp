#include <unistd.h>
#include <cstdlib>

#include "platform/sim/internal.h"
#include "platform/win32.h"

#if defined(TEMBRA_COVERAGE)
// The coverage runtime's: writes the counts gathered so far, as the end of the process would.
// Its name is the runtime's, reserved for it.
extern "C" void __gcov_dump();  // NOLINT(bugprone-reserved-identifier)
#endif

// The process ends as the platform ends it. What reached the simulated standard error is
// copied to the real one first, so that a test watching the process from outside sees it.
void raise_fast_fail(UINT code) {
  sim::detail::log_call("fail_fast(" + std::to_string(code) + ")");
  const std::string text =
      sim::stream_bytes(STD_ERROR_HANDLE) + sim::detail::utf8(sim::console_units(STD_ERROR_HANDLE));
  (void)!write(2, text.data(), text.size());
#if defined(TEMBRA_COVERAGE)
  // Nothing runs after the request, the handlers that would write the counts included: a
  // coverage build writes them first, so that what a death test reaches is counted.
  __gcov_dump();
#endif
  std::_Exit(sim::kFastFailExitStatus);
}
