#include <gtest/gtest.h>

#include "main.h"
#include "platform/sim/simulator.h"

TEST(Procedure, MissingServiceFailsWithExitStatusOne) {
  sim::reset();
  EXPECT_EQ(entry_point(), 1);
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  EXPECT_EQ(
      sim::stream_bytes(STD_ERROR_HANDLE),
      "Error: IO error in winapi call\n\nCaused by:\n    The specified service does not exist "
      "as an installed service. (os error 1060)\n");
}
