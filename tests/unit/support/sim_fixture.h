// What the unit tests share: a fresh process per test, and checks on the simulator's call log.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "console/print.h"
#include "platform/sim/simulator.h"
#include "report/backtrace_switch_for_tests.h"

namespace tembra {

// The service the program removes, and the line it prints once it has.
inline constexpr std::string_view kServiceName = "tembra_service";
inline constexpr std::string_view kSuccessLine =
    "Service uninstalled successfully. Resource cleanup warnings can be ignored.\n";

// ASCII text as UTF-16 units: as the platform stores a name, or a console receives the text.
inline std::u16string units_of(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// A queried status record: a service in its own process, in the given state, and nothing more.
inline SERVICE_STATUS_PROCESS queried(DWORD state) {
  return SERVICE_STATUS_PROCESS{SERVICE_WIN32_OWN_PROCESS, state, 0, 0, 0, 0, 0, 0, 0};
}

// Everything a process keeps between calls, as at its start: both standard streams (no line
// buffer, no bytes held back, the locks free), the backtrace switch undecided, and a fresh
// simulated machine. The output goes first: a line buffer left behind goes back to the heap it
// came from.
inline void fresh_process() {
  reset_output_for_tests();
  reset_backtrace_switch_for_tests();
  sim::reset();
}

// Every unit test runs on a fresh process and leaves one behind, so no test depends on which ran
// before it. At its end every block the program took from the heap is back, each exactly once.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { fresh_process(); }
  void TearDown() override {
    reset_output_for_tests();
    EXPECT_EQ(sim::live_heap_blocks(), 0) << "heap blocks never given back";
    EXPECT_TRUE(sim::bad_heap_releases().empty())
        << "a block given back twice, or never handed out: " << sim::bad_heap_releases().front();
    fresh_process();
  }

  // Installs the service in the given state, answering control requests as `answer` says (with
  // `reply_state` in the reply where the answer carries one).
  static void install_service(DWORD state, sim::ControlAnswer answer = sim::ControlAnswer::Accept,
                              DWORD reply_state = 0) {
    sim::add_service({.name = units_of(kServiceName),
                      .status = queried(state),
                      .control_answer = answer,
                      .reply_state = reply_state});
  }

  // The log's name for the n-th handle the program was given (0 = the first).
  static std::string handle_label(std::size_t n) { return sim::handles().at(n).label; }
};

// The first call of `function` is followed at once by the read of the given error code.
inline ::testing::AssertionResult code_read_right_after(std::string_view function, DWORD code) {
  const auto& calls = sim::calls();
  const auto call = std::ranges::find(calls, function, sim::call_name);
  if (call == calls.end()) {
    return ::testing::AssertionFailure() << "no call of " << function << " in the log";
  }
  const std::string expected = "GetLastError() = " + std::to_string(code);
  const std::string next = call + 1 == calls.end() ? "(end of log)" : *(call + 1);
  if (next == expected) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "after \"" << *call << "\" came \"" << next << "\", not \"" << expected << "\"";
}

// Every handle handed out was closed exactly once, and no close went astray.
inline ::testing::AssertionResult every_handle_closed_once() {
  for (const auto& record : sim::handles()) {
    if (record.close_count != 1) {
      return ::testing::AssertionFailure()
             << record.label << " closed " << record.close_count << " times";
    }
  }
  if (!sim::bad_closes().empty()) {
    return ::testing::AssertionFailure() << "bad close of " << sim::bad_closes().front();
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tembra
