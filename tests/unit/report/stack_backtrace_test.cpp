// The stack backtrace: the section of the failure report that carries it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "report/stack_backtrace.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using BacktraceSection = SimTest;

TEST_F(BacktraceSection, HeadingThenTextWithoutTrailingWhiteSpace) {
  StringSink sink;
  ASSERT_THAT(write_backtrace_section(sink, "   0: main\n   1: start \t\r\n\u3000\u00A0\n"),
              Succeeds());
  EXPECT_EQ(sink.text(), "\n\nStack backtrace:\n   0: main\n   1: start");
}

TEST_F(BacktraceSection, TextWithItsOwnHeadingGetsNoSecond) {
  StringSink sink;
  ASSERT_THAT(write_backtrace_section(sink, "stack backtrace:\n   0: main\n"), Succeeds());
  EXPECT_EQ(sink.text(), "\n\nStack backtrace:\n   0: main");
  // Only the exact lower-case heading is taken as the text's own.
  StringSink other;
  ASSERT_THAT(write_backtrace_section(other, "Stack backtrace:\n   0: main"), Succeeds());
  EXPECT_EQ(other.text(), "\n\nStack backtrace:\nStack backtrace:\n   0: main");
}

}  // namespace
}  // namespace tembra
