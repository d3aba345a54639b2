// Whether a backtrace is taken: the two variables, their order, and one decision per process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/backtrace_switch.h"
#include "report/stack_backtrace.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

constexpr std::u16string_view kLib = u"RUST_LIB_BACKTRACE";
constexpr std::u16string_view kRust = u"RUST_BACKTRACE";

class BacktraceSwitch : public SimTest {
 protected:
  // Sets each variable that has a value, leaves the others absent, and decides.
  static bool decide(std::optional<std::u16string> lib, std::optional<std::u16string> rust) {
    fresh_process();
    if (lib) {
      sim::set_environment_variable(kLib, *lib);
    }
    if (rust) {
      sim::set_environment_variable(kRust, *rust);
    }
    return backtrace_wanted();
  }

  static std::vector<std::string> environment_reads() {
    return sim::calls_to({"SetLastError", "GetEnvironmentVariableW"});
  }
};

TEST_F(BacktraceSwitch, LibraryVariableDecidesFirst) {
  EXPECT_FALSE(decide(u"0", u"1"));
  EXPECT_EQ(
      environment_reads(),
      (std::vector<std::string>{"SetLastError(0)",
                                "GetEnvironmentVariableW(u\"RUST_LIB_BACKTRACE\", ptr, 64) = 1"}));
  EXPECT_TRUE(decide(u"1", u"0"));
  // Present and empty is a value, and any value but "0" is on.
  EXPECT_TRUE(decide(u"", u"0"));
}

TEST_F(BacktraceSwitch, AnyValueButZeroSwitchesOn) {
  for (std::u16string value : {u"full", u"true", u"00", u" 0", u"0 ", u"", u"1"}) {
    EXPECT_TRUE(decide(std::nullopt, value)) << value.size();
  }
  EXPECT_FALSE(decide(std::nullopt, u"0"));
  EXPECT_FALSE(decide(std::nullopt, std::nullopt));
  EXPECT_EQ(environment_reads(),
            (std::vector<std::string>{
                "SetLastError(0)", "GetEnvironmentVariableW(u\"RUST_LIB_BACKTRACE\", ptr, 64) = 0",
                "SetLastError(0)", "GetEnvironmentVariableW(u\"RUST_BACKTRACE\", ptr, 64) = 0"}));
}

TEST_F(BacktraceSwitch, UnpairedSurrogateCountsAsAbsent) {
  EXPECT_FALSE(decide(u"\xD800", u"0"));
  EXPECT_TRUE(decide(u"1\xDC00", u"1"));
  EXPECT_FALSE(decide(u"\xDBFF", std::nullopt));
  EXPECT_FALSE(decide(std::nullopt, u"\xD800"));
  // A well-formed pair is text like any other.
  EXPECT_TRUE(decide(u"\xD83D\xDE00", u"0"));
}

TEST_F(BacktraceSwitch, FailedReadCountsAsAbsent) {
  fresh_process();
  sim::set_environment_variable(kLib, u"1");
  sim::set_environment_variable(kRust, u"0");
  sim::fail_next("GetEnvironmentVariableW", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(backtrace_wanted());
}

TEST_F(BacktraceSwitch, LongValueIsReadAgainWithTheSizeAsked) {
  const std::u16string long_value(100, u'x');
  EXPECT_TRUE(decide(long_value, u"0"));
  EXPECT_EQ(sim::calls_to({"GetEnvironmentVariableW"}),
            (std::vector<std::string>{
                "GetEnvironmentVariableW(u\"RUST_LIB_BACKTRACE\", ptr, 64) = 101",
                "GetEnvironmentVariableW(u\"RUST_LIB_BACKTRACE\", ptr, 101) = 100"}));
  EXPECT_EQ(sim::calls_to({"SetLastError"}).size(), 2u);
  // Validity is judged on the whole value, however long.
  EXPECT_FALSE(decide(long_value + u"\xD800", u"0"));
}

TEST_F(BacktraceSwitch, DecidedOncePerProcess) {
  EXPECT_TRUE(decide(std::nullopt, u"1"));
  const std::size_t reads = sim::calls_to({"GetEnvironmentVariableW"}).size();
  sim::set_environment_variable(kLib, u"0");
  sim::set_environment_variable(kRust, u"0");
  EXPECT_TRUE(backtrace_wanted());
  EXPECT_EQ(StackBacktrace::capture().state(), StackBacktrace::State::Captured);
  EXPECT_EQ(sim::calls_to({"GetEnvironmentVariableW"}).size(), reads);

  fresh_process();
  EXPECT_EQ(StackBacktrace::capture().state(), StackBacktrace::State::Disabled);
  sim::set_environment_variable(kRust, u"1");
  EXPECT_EQ(StackBacktrace::capture().state(), StackBacktrace::State::Disabled);
}

}  // namespace
}  // namespace tembra
