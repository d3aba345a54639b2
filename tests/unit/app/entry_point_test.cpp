// The whole run as the exe's entry point makes it: what a successful run costs, and a run whose
// success line cannot be written.
#include <cstdio>
#include <map>

#include "app/uninstall_service.h"
#include "support/console_test_support.h"

using ConsoleBenchmark = SimTest;

// Not a timed test: what a successful run costs in platform calls and heap blocks, printed
// next to the least that its output needs.
TEST_F(ConsoleBenchmark, SuccessfulRunCallsAndAllocations) {
  sim::add_service({.name = units_of(kServiceName)});
  ASSERT_EQ(entry_point(), 0);

  std::map<std::string, int, std::less<>> per_function;
  for (const auto& line : sim::calls()) {
    ++per_function[std::string(sim::call_name(line))];
  }
  std::printf("successful run: %zu platform calls\n", sim::calls().size());
  for (const auto& [name, count] : per_function) {
    std::printf("  %-24s %d\n", name.c_str(), count);
  }
  const int writes = per_function["NtWriteFile"] + per_function["WriteConsoleW"];
  const int allocations = per_function["HeapAlloc"];
  std::printf("output writes: %d (least needed: 1)\n", writes);
  std::printf("output buffer allocations: %d (least needed: 1), blocks left at exit: %d\n",
              allocations, sim::live_heap_blocks());

  EXPECT_EQ(writes, 1);
  EXPECT_EQ(allocations, 1);
  EXPECT_EQ(sim::live_heap_blocks(), 0);
}

using EntryPointDeathTest = SimTest;

TEST_F(EntryPointDeathTest, FailedStandardOutputEndsARunWhoseServiceWasDeleted) {
  sim::add_service({.name = units_of(kServiceName)});
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL));
  // The run ends inside the call; no status comes back.
  EXPECT_EXIT(static_cast<void>(entry_point()), ::testing::ExitedWithCode(sim::kFastFailExitStatus),
              "^failed printing to stdout: ");
}
