// What the unit tests share: a fresh process per test, and checks on the simulator's call log.
#pragma once

#include <gtest/gtest.h>

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

  // Installs the service in the given state, answering control requests as `answer` says.
  static void install_service(DWORD state, sim::ControlAnswer answer = sim::ControlAnswer::Accept) {
    sim::Service service;
    service.name = units_of(kServiceName);
    service.status.dwCurrentState = state;
    service.control_answer = answer;
    sim::add_service(std::move(service));
  }

  // The log's name for the n-th handle the program was given (0 = the first).
  static std::string handle_label(std::size_t n) { return sim::handles().at(n).label; }
};

// The first call of `function` is followed at once by the read of the given error code.
inline ::testing::AssertionResult code_read_right_after(std::string_view function, DWORD code) {
  const auto& calls = sim::calls();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (sim::call_name(calls[i]) != function) {
      continue;
    }
    const std::string expected = "GetLastError() = " + std::to_string(code);
    if (i + 1 < calls.size() && calls[i + 1] == expected) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "after \"" << calls[i] << "\" came \""
                                         << (i + 1 < calls.size() ? calls[i + 1] : "(end of log)")
                                         << "\", not \"" << expected << "\"";
  }
  return ::testing::AssertionFailure() << "no call of " << function << " in the log";
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
