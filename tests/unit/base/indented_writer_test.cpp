// The layout of one cause of a failure report: its prefix and the indent after each line break.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <string_view>

#include "base/indented_writer.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using IndentedWriterTest = SimTest;

TEST_F(IndentedWriterTest, NumberIsRightAlignedInAtLeastFiveColumns) {
  struct Case {
    std::size_t number;
    std::string_view expected;
  };
  for (const Case& c : {Case{7, "    7: a\n       b"}, Case{12345, "12345: a\n       b"},
                        Case{123456, "123456: a\n       b"}}) {
    StringSink sink;
    IndentedWriter writer(sink, c.number);
    ASSERT_THAT(writer.write_str("a\nb"), Succeeds());
    EXPECT_EQ(sink.text(), c.expected);
  }
}

}  // namespace
}  // namespace tembra
