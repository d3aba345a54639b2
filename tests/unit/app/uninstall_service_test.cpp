// The whole run: the procedure's platform calls in order, its output and exit status on each path,
// and what a successful run costs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

// The calls that make up the procedure, without those of the output streams.
std::vector<std::string> procedure_calls() {
  return sim::calls_to({"OpenSCManagerW", "OpenServiceW", "QueryServiceStatusEx", "ControlService",
                        "DeleteService", "CloseServiceHandle", "GetLastError",
                        "CreateWaitableTimerExW", "SetWaitableTimer", "WaitForSingleObject",
                        "CloseHandle", "Sleep"});
}

std::size_t index_of_first(std::string_view function) {
  const auto& calls = sim::calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (sim::call_name(calls[i]) == function) {
      return i;
    }
  }
  return calls.size();
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
  EXPECT_THAT(
      procedure_calls(),
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
  sim::Service service;
  service.name = units_of(kServiceName);
  service.status.dwCurrentState = SERVICE_RUNNING;
  service.control_answer = sim::ControlAnswer::ReplyBadState;
  service.reply_state = 9;
  sim::add_service(std::move(service));

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
};

class RefusedCall : public SimTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedCall, ReportsTheCodeReadRightAfterAndReleasesTheHandlesServiceFirst) {
  const Refusal& refusal = GetParam();
  install_service(SERVICE_RUNNING);
  sim::fail_next(refusal.function, refusal.code);

  EXPECT_EQ(entry_point(), 1);
  EXPECT_TRUE(code_read_right_after(refusal.function, refusal.code));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), report_with_cause(refusal.cause));
  EXPECT_TRUE(every_handle_closed_once());
  std::vector<std::string> closes;
  for (std::size_t n = refusal.handles_open; n-- > 0;) {
    closes.push_back("CloseServiceHandle(" + handle_label(n) + ") = 1");
  }
  EXPECT_EQ(sim::calls_to({"CloseServiceHandle"}), closes);
}

INSTANTIATE_TEST_SUITE_P(
    EachPlatformCall, RefusedCall,
    ::testing::Values(
        Refusal{"OpenSCManagerW", ERROR_ACCESS_DENIED, "Access is denied. (os error 5)", 0},
        Refusal{"OpenServiceW", ERROR_SERVICE_DOES_NOT_EXIST,
                "The specified service does not exist as an installed service. "
                "(os error 1060)",
                1},
        Refusal{"QueryServiceStatusEx", ERROR_ACCESS_DENIED, "Access is denied. (os error 5)", 2},
        Refusal{"DeleteService", ERROR_SERVICE_MARKED_FOR_DELETE,
                "The specified service has been marked for deletion. (os error 1072)", 2}),
    [](const auto& info) { return std::string(info.param.function); });

TEST_F(UninstallProcedure, MissingServiceIsReportedWithoutAStatusQuery) {
  EXPECT_EQ(entry_point(), 1);
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE),
            report_with_cause(
                "The specified service does not exist as an installed service. (os error 1060)"));
  EXPECT_THAT(sim::calls_to({"QueryServiceStatusEx"}), IsEmpty());
  EXPECT_TRUE(every_handle_closed_once());
}

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

TEST_F(UninstallProcedure, RefusedStopThenRefusedDeletionWritesTheLineThenTheReport) {
  install_service(SERVICE_RUNNING, sim::ControlAnswer::Refuse);
  sim::fail_next("DeleteService", ERROR_ACCESS_DENIED);
  EXPECT_EQ(entry_point(), 1);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE),
            "IO error in winapi call\n" + report_with_cause("Access is denied. (os error 5)"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
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
// ctest -V, or the unit_tests program itself, to see the figures) and checked.
using SuccessfulRunCost = SimTest;

TEST_F(SuccessfulRunCost, PlatformCallsWritesAndAllocations) {
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
  std::printf("output writes: %d (least needed: 1)\n", writes);
  std::printf("heap blocks: %d taken, %d moved, %d given back, %d left at exit\n",
              per_function["HeapAlloc"], per_function["HeapReAlloc"], per_function["HeapFree"],
              sim::live_heap_blocks());

  // 6 for the service: connect, open, query, delete, close both handles. 3 for the output: the
  // standard handle looked up, found to be no console, written once. 14 for the heap, each
  // operation after a GetProcessHeap: the name's UTF-16 taken, grown twice, fitted to its
  // length and given back (5), the output buffer taken and given back (2).
  EXPECT_EQ(sim::calls().size(), 23u);
  EXPECT_EQ(writes, 1);
  // The service name's UTF-16 and the output buffer, nothing else.
  EXPECT_EQ(per_function["HeapAlloc"], 2);
  // The name grows from 5 units to 10 and 20, and is fitted to its 15.
  EXPECT_EQ(per_function["HeapReAlloc"], 3);
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

}  // namespace
}  // namespace tembra
