// Internal faults: the message and a line feed on standard error, then the fail-fast ending.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <limits>

#include "console/fatal.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ExitedWithCode;

using FatalDeathTest = SimTest;

// The messages themselves are checked where each fault arises (print, the line buffer, the
// UTF-16 buffer, the standard streams).
TEST_F(FatalDeathTest, WithoutStandardErrorTheEndingIsTheSameOnlySilent) {
  sim::set_std_handle(STD_ERROR_HANDLE, sim::StdKind::None);
  EXPECT_EXIT(fatal_internal_fault("unseen"), ExitedWithCode(sim::kFastFailExitStatus), "^$");
}

TEST_F(FatalDeathTest, AllocationFailureMessageHoldsTheLargestSize) {
  EXPECT_EXIT(fatal_allocation_failure(std::numeric_limits<std::size_t>::max()),
              ExitedWithCode(sim::kFastFailExitStatus),
              "^memory allocation of 18446744073709551615 bytes failed\n$");
}

}  // namespace
}  // namespace tembra
