// The console path: UTF-8 to UTF-16 in chunks, characters cut across writes, ill-formed bytes,
// consoles that take fewer units than offered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "console/std_stream.h"
#include "platform/sim/simulator.h"
#include "support/console_matchers.h"
#include "support/sim_fixture.h"
#include "support/write_lengths.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

// Standard output is a console whose output code page is not UTF-8.
class ConsoleWriterTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  }
  static const PendingUtf8& pending() { return stream_state(StdStream::Out).pending; }
};

TEST_F(ConsoleWriterTest, LongTextGoesOutInChunksCutOnCharacterBoundaries) {
  ASSERT_THAT(write_whole(StdStream::Out, std::string(5000, 'a')), Succeeds());
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("4096", "904"));

  fresh_process();
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  const std::string straddling = std::string(4095, 'a') + "\xE2\x82\xAC" + "b";
  ASSERT_THAT(write_whole(StdStream::Out, straddling), Succeeds());
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("4095", "2"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE).substr(4095), u"\u20ACb");
}

TEST_F(ConsoleWriterTest, CharacterSplitAcrossWritesIsWrittenWhenWhole) {
  EXPECT_THAT(write_std_handle(StdStream::Out, "ab\xE2"), SucceedsWith(2u));
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xE2"), SucceedsWith(1u));
  EXPECT_EQ(pending().count, 1);
  EXPECT_THAT(write_std_handle(StdStream::Out, "\x82"), SucceedsWith(1u));
  EXPECT_EQ(pending().count, 2);
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ab");
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xAC"), SucceedsWith(1u));
  EXPECT_TRUE(pending().empty());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ab\u20AC");
}

TEST_F(ConsoleWriterTest, BrokenSequencesAreRejected) {
  // A start byte followed by something that does not continue it.
  ASSERT_THAT(write_std_handle(StdStream::Out, "\xE2"), Succeeds());
  EXPECT_THAT(write_std_handle(StdStream::Out, "a"), FailsWithKind(WriteErrorKind::InvalidData));
  EXPECT_TRUE(pending().empty());

  // Completed, but an encoded surrogate.
  ASSERT_THAT(write_std_handle(StdStream::Out, "\xED"), Succeeds());
  ASSERT_THAT(write_std_handle(StdStream::Out, "\xA0"), Succeeds());
  EXPECT_THAT(write_std_handle(StdStream::Out, "\x80"), FailsWithKind(WriteErrorKind::InvalidData));

  // A start byte that cannot begin anything, even with bytes after it.
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xC0"), FailsWithKind(WriteErrorKind::InvalidData));
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());
}

// A write that holds the whole sequence gets its answer at once, nothing kept for the next write.
TEST_F(ConsoleWriterTest, WholeButIllFormedSequenceInOneWriteIsRejectedAtOnce) {
  for (const char* whole : {"\xC3\x28", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_THAT(write_std_handle(StdStream::Out, whole), FailsWithKind(WriteErrorKind::InvalidData))
        << testing::PrintToString(whole);
    EXPECT_TRUE(pending().empty()) << testing::PrintToString(whole);
  }
}

TEST_F(ConsoleWriterTest, InvalidByteComesAfterTheValidTextBeforeIt) {
  EXPECT_THAT(
      write_whole(StdStream::Out, "\xFF"),
      FailsWithText(
          "Windows stdio in console mode does not support writing non-UTF-8 byte sequences"));
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());

  EXPECT_THAT(write_std_handle(StdStream::Out, "ok\xFF"), SucceedsWith(2u));
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xFF"), FailsWithKind(WriteErrorKind::InvalidData));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ok");
}

TEST_F(ConsoleWriterTest, HalfASurrogatePairIsCompletedAtOnce) {
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {1});
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xF0\x9F\x98\x80z"), SucceedsWith(4u));
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("3", "1"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"\U0001F600");
}

TEST_F(ConsoleWriterTest, PartialAcceptanceCountsTheBytesOfTheUnitsTaken) {
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {3});
  EXPECT_THAT(write_std_handle(StdStream::Out, "a\xC3\xA9\xE2\x82\xAC!"),
              SucceedsWith(6u));  // 1 + 2 + 3
  ASSERT_THAT(write_whole(StdStream::Out, "a\xC3\xA9\xE2\x82\xAC!"), Succeeds());

  // One unit taken counts the bytes of its character, on both sides of each length boundary.
  struct OneUnit {
    std::string_view bytes;
    std::size_t counted;
  };
  for (const OneUnit& row : {OneUnit{"\x7Fz", 1}, OneUnit{"\xC2\x80z", 2}, OneUnit{"\xDF\xBFz", 2},
                             OneUnit{"\xE0\xA0\x80z", 3}}) {
    sim::script_console_accepts(STD_OUTPUT_HANDLE, {1});
    EXPECT_THAT(write_std_handle(StdStream::Out, row.bytes), SucceedsWith(row.counted))
        << ::testing::PrintToString(std::string(row.bytes));
  }
}

TEST_F(ConsoleWriterTest, ConversionOrConsoleFailureGivesThePlatformError) {
  sim::fail_next("MultiByteToWideChar", ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_THAT(write_whole(StdStream::Out, "abc"), FailsWithOsError(1113));
  EXPECT_TRUE(code_read_right_after("MultiByteToWideChar", ERROR_NO_UNICODE_TRANSLATION));
  sim::fail_next("WriteConsoleW", ERROR_ACCESS_DENIED);
  EXPECT_THAT(write_whole(StdStream::Out, "abc"), FailsWithOsError(5));
}

TEST_F(ConsoleWriterTest, CompletedCharacterThatCannotBeWrittenGivesThePlatformError) {
  ASSERT_THAT(write_std_handle(StdStream::Out, "\xE2"), Succeeds());
  ASSERT_THAT(write_std_handle(StdStream::Out, "\x82"), Succeeds());
  sim::fail_next("WriteConsoleW", ERROR_ACCESS_DENIED);
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xAC"), FailsWithOsError(5));
  EXPECT_TRUE(pending().empty());
}

}  // namespace
}  // namespace tembra
