// The whole run: the procedure's platform calls in order, its output and exit status on each path,
// and what a successful run costs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/uninstall_service.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::ptrdiff_t index_of_first(std::string_view function) {
  return std::ranges::find(sim::calls(), function, sim::call_name) - sim::calls().begin();
}

std::string report_with_cause(std::string_view cause) {
  return "Error: IO error in winapi call\n\nCaused by:\n    " + std::string(cause) + "\n";
}

using UninstallProcedure = SimTest;

TEST_F(UninstallProcedure, StopsARunningServicePausesOneSecondAndDeletesIt) {
  install_service(SERVICE_RUNNING);
  EXPECT_EQ(entry_point(), 0);

  const std::string scm = handle_label(0);
  const std::string svc = handle_label(1);
  const std::string timer = handle_label(2);
  // The procedure's calls, without those of the output streams.
  EXPECT_THAT(
      sim::calls_to({"OpenSCManagerW", "OpenServiceW", "QueryServiceStatusEx", "ControlService",
                     "DeleteService", "CloseServiceHandle", "GetLastError",
                     "CreateWaitableTimerExW", "SetWaitableTimer", "WaitForSingleObject",
                     "CloseHandle", "Sleep"}),
      ElementsAre("OpenSCManagerW(null, null, 0x1) = " + scm,
                  "OpenServiceW(" + scm + ", u\"tembra_service\", 0x10024) = " + svc,
                  "QueryServiceStatusEx(" + svc + ", 0, ptr, 36, ptr) = 1",
                  "ControlService(" + svc + ", 1, ptr) = 1",
                  "CreateWaitableTimerExW(null, null, 0x2, 0x1F0003) = " + timer,
                  "SetWaitableTimer(" + timer + ", -10000000, 0, null, null, 0) = 1",
                  "WaitForSingleObject(" + timer + ", 4294967295) = 0",
                  "CloseHandle(" + timer + ") = 1", "DeleteService(" + svc + ") = 1",
                  "CloseServiceHandle(" + svc + ") = 1", "CloseServiceHandle(" + scm + ") = 1"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "");
  EXPECT_TRUE(every_handle_closed_once());
  EXPECT_LT(index_of_first("NtWriteFile"), index_of_first("CloseServiceHandle"))
      << "the success line goes out while the handles are still open";
  EXPECT_EQ(sim::find_service(units_of(kServiceName)), nullptr);
}

TEST_F(UninstallProcedure, StoppedServiceGetsNoRequestAndNoPause) {
  install_service(SERVICE_STOPPED);
  EXPECT_EQ(entry_point(), 0);

  const std::string svc = handle_label(1);
  EXPECT_THAT(sim::calls_to({"QueryServiceStatusEx", "ControlService", "CreateWaitableTimerExW",
                             "Sleep", "DeleteService"}),
              ElementsAre("QueryServiceStatusEx(" + svc + ", 0, ptr, 36, ptr) = 1",
                          "DeleteService(" + svc + ") = 1"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "");
  EXPECT_TRUE(every_handle_closed_once());
  EXPECT_EQ(sim::handles().size(), 2u) << "no timer was made";
}

class EveryStateButStopped : public SimTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(EveryStateButStopped, GetsOneStopAndThePause) {
  install_service(GetParam());
  EXPECT_EQ(entry_point(), 0);
  EXPECT_EQ(sim::calls_to({"ControlService"}).size(), 1u);
  EXPECT_THAT(sim::calls_to({"SetWaitableTimer"}),
              ElementsAre(::testing::HasSubstr(", -10000000, ")));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "");
}

TEST_P(EveryStateButStopped, RefusedStopPrintsItsLineStillPausesAndDeletes) {
  install_service(GetParam(), sim::ControlAnswer::Refuse);
  EXPECT_EQ(entry_point(), 0);

  const std::string svc = handle_label(1);
  EXPECT_TRUE(code_read_right_after("ControlService", ERROR_INVALID_SERVICE_CONTROL));
  EXPECT_THAT(
      sim::calls_to({"ControlService", "CreateWaitableTimerExW", "CloseHandle", "DeleteService"}),
      ElementsAre("ControlService(" + svc + ", 1, ptr) = 0",
                  ::testing::StartsWith("CreateWaitableTimerExW("),
                  ::testing::StartsWith("CloseHandle("), "DeleteService(" + svc + ") = 1"));
  // The line shows the display text alone: no code, no system message.
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "IO error in winapi call\n");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_TRUE(every_handle_closed_once());
}

INSTANTIATE_TEST_SUITE_P(States, EveryStateButStopped,
                         ::testing::Values(SERVICE_START_PENDING, SERVICE_STOP_PENDING,
                                           SERVICE_RUNNING, SERVICE_CONTINUE_PENDING,
                                           SERVICE_PAUSE_PENDING, SERVICE_PAUSED));

TEST_F(UninstallProcedure, StopReplyWithUndecodableStateIsPrintedAndTheRunGoesOn) {
  install_service(SERVICE_RUNNING, sim::ControlAnswer::ReplyBadState, 9);
  EXPECT_EQ(entry_point(), 0);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "invalid service status value\n");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::calls_to({"CreateWaitableTimerExW"}).size(), 1u);
  EXPECT_EQ(sim::calls_to({"DeleteService"}).size(), 1u);
}

struct Refusal {
  const char* function;
  DWORD code;
  const char* cause;
  std::size_t handles_open;  // when the call is refused
  bool made_up = true;       // false: the platform's own answer, the service never installed
  sim::ControlAnswer answer = sim::ControlAnswer::Accept;
  const char* stop_line = "";  // on standard error before the report
};

class RefusedCall : public SimTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedCall, ReportsTheCodeReadRightAfterAndReleasesTheHandlesServiceFirst) {
  const Refusal& refusal = GetParam();
  if (refusal.made_up) {
    install_service(SERVICE_RUNNING, refusal.answer);
    sim::fail_next(refusal.function, refusal.code);
  }

  EXPECT_EQ(entry_point(), 1);
  EXPECT_TRUE(code_read_right_after(refusal.function, refusal.code));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE),
            refusal.stop_line + report_with_cause(refusal.cause));
  EXPECT_TRUE(every_handle_closed_once());
  std::vector<std::string> closes;
  for (std::size_t n = refusal.handles_open; n-- > 0;) {
    closes.push_back("CloseServiceHandle(" + handle_label(n) + ") = 1");
  }
  EXPECT_EQ(sim::calls_to({"CloseServiceHandle"}), closes);
  // Nothing is asked of the manager or the service after the refusal.
  const auto asked = sim::calls_to({"OpenSCManagerW", "OpenServiceW", "QueryServiceStatusEx",
                                    "ControlService", "DeleteService"});
  EXPECT_EQ(sim::call_name(asked.back()), refusal.function);
}

INSTANTIATE_TEST_SUITE_P(
    EachPlatformCall, RefusedCall,
    ::testing::Values(
        Refusal{"OpenSCManagerW", ERROR_ACCESS_DENIED, "Access is denied. (os error 5)", 0},
        Refusal{"OpenServiceW", ERROR_SERVICE_DOES_NOT_EXIST,
                "The specified service does not exist as an installed service. "
                "(os error 1060)",
                1, false},
        Refusal{"QueryServiceStatusEx", ERROR_ACCESS_DENIED, "Access is denied. (os error 5)", 2},
        Refusal{"DeleteService", ERROR_SERVICE_MARKED_FOR_DELETE,
                "The specified service has been marked for deletion. (os error 1072)", 2},
        Refusal{"DeleteService", ERROR_ACCESS_DENIED, "Access is denied. (os error 5)", 2, true,
                sim::ControlAnswer::Refuse, "IO error in winapi call\n"}),
    [](const auto& info) {
      return std::string(info.param.function) + (*info.param.stop_line ? "AfterARefusedStop" : "");
    });

TEST_F(UninstallProcedure, UndecodableQueriedStateFailsBeforeAnyRequest) {
  install_service(0);
  EXPECT_EQ(entry_point(), 1);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE),
            "Error: invalid service status value\n\nCaused by:\n    invalid unsigned integer for "
            "the target type: 0\n");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  EXPECT_THAT(sim::calls_to({"ControlService", "DeleteService"}), IsEmpty());
  EXPECT_TRUE(every_handle_closed_once());
}

TEST_F(UninstallProcedure, RefusedClosesAreIgnoredAndNotRepeated) {
  install_service(SERVICE_STOPPED);
  sim::fail_next("CloseServiceHandle", ERROR_INVALID_HANDLE);
  sim::fail_next("CloseServiceHandle", ERROR_INVALID_HANDLE);
  EXPECT_EQ(entry_point(), 0);
  EXPECT_EQ(sim::calls_to({"CloseServiceHandle"}).size(), 2u);
  EXPECT_TRUE(every_handle_closed_once());
}

// Not a timed test: what a successful run asks of the platform, printed (run the test with
// ctest -V, or the unit_tests program itself, to see the figures) and checked against the rule.
using SuccessfulRunCost = SimTest;

TEST_F(SuccessfulRunCost, PlatformCallsWritesAndAllocations) {
  sim::add_service({.name = units_of(kServiceName)});
  ASSERT_EQ(entry_point(), 0);

  std::map<std::string, int, std::less<>> per_function;
  for (const auto& line : sim::calls()) {
    ++per_function[std::string(sim::call_name(line))];
  }
  // The rule. For the service one connect, one open, one query, one delete and a close of each
  // handle. For the output its handle looked up, found to be no console and written once. From
  // the heap, each operation after a GetProcessHeap, the name's UTF-16 and the output buffer taken
  // and given back once each; the name's (ASCII) moved while it doubles from a unit per four bytes
  // (at least four units) until it holds the name and its nul, then fitted to them.
  const std::size_t name_units = kServiceName.size() + 1;
  std::size_t capacity = std::max<std::size_t>(4, (kServiceName.size() + 2) / 4 + 1);
  int moves = 0;
  for (; capacity < name_units; capacity *= 2) {
    ++moves;
  }
  moves += capacity > name_units ? 1 : 0;
  const std::map<std::string, int, std::less<>> rule = {
      {"OpenSCManagerW", 1},  {"OpenServiceW", 1},       {"QueryServiceStatusEx", 1},
      {"DeleteService", 1},   {"CloseServiceHandle", 2}, {"GetStdHandle", 1},
      {"GetConsoleMode", 1},  {"NtWriteFile", 1},        {"HeapAlloc", 2},
      {"HeapReAlloc", moves}, {"HeapFree", 2},           {"GetProcessHeap", 4 + moves}};
  EXPECT_EQ(per_function, rule);
  EXPECT_EQ(sim::live_heap_blocks(), 0);

  std::printf("successful run: %zu platform calls\n", sim::calls().size());
  for (const auto& [name, count] : per_function) {
    std::printf("  %-24s %d\n", name.c_str(), count);
  }
  std::printf("output writes: %d (least needed: 1)\n",
              per_function["NtWriteFile"] + per_function["WriteConsoleW"]);
  std::printf("heap blocks: %d taken, %d moved, %d given back, %d left at exit\n",
              per_function["HeapAlloc"], per_function["HeapReAlloc"], per_function["HeapFree"],
              sim::live_heap_blocks());
}

using EntryPointDeathTest = SimTest;

TEST_F(EntryPointDeathTest, FailedStandardOutputEndsARunWhoseServiceWasDeleted) {
  sim::add_service({.name = units_of(kServiceName)});
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL));
  // The run ends inside the call; no status comes back.
  EXPECT_EXIT(static_cast<void>(entry_point()), ::testing::ExitedWithCode(sim::kFastFailExitStatus),
              "^failed printing to stdout: ");
}

}  // namespace
}  // namespace tembra
