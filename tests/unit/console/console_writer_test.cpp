#include <string>

#include "console/std_stream.h"
#include "support/console_test_support.h"

using ::testing::ElementsAre;

class ConsolePath : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  }
  const PendingUtf8& pending() { return stream_state(StdStream::Out).pending; }
};

TEST_F(ConsolePath, LongTextGoesOutInChunksCutOnCharacterBoundaries) {
  ASSERT_TRUE(write_whole(StdStream::Out, std::string(5000, 'a')));
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("4096", "904"));

  fresh_process();
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  const std::string straddling = std::string(4095, 'a') + "\xE2\x82\xAC" + "b";
  ASSERT_TRUE(write_whole(StdStream::Out, straddling));
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("4095", "2"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE).substr(4095), u"\u20ACb");
}

TEST_F(ConsolePath, CharacterSplitAcrossWritesIsWrittenWhenWhole) {
  auto first = write_std_handle(StdStream::Out, "ab\xE2");
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, 2u);
  auto lead = write_std_handle(StdStream::Out, "\xE2");
  ASSERT_TRUE(lead);
  EXPECT_EQ(*lead, 1u);
  EXPECT_EQ(pending().count, 1);
  auto second = write_std_handle(StdStream::Out, "\x82");
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, 1u);
  EXPECT_EQ(pending().count, 2);
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ab");
  auto third = write_std_handle(StdStream::Out, "\xAC");
  ASSERT_TRUE(third);
  EXPECT_EQ(*third, 1u);
  EXPECT_TRUE(pending().empty());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ab\u20AC");
}

TEST_F(ConsolePath, BrokenSequencesAreRejected) {
  // A start byte followed by something that does not continue it.
  ASSERT_TRUE(write_std_handle(StdStream::Out, "\xE2"));
  EXPECT_THAT(write_std_handle(StdStream::Out, "a"), FailsWithKind(WriteErrorKind::InvalidData));
  EXPECT_TRUE(pending().empty());

  // Completed, but an encoded surrogate.
  ASSERT_TRUE(write_std_handle(StdStream::Out, "\xED"));
  ASSERT_TRUE(write_std_handle(StdStream::Out, "\xA0"));
  EXPECT_THAT(write_std_handle(StdStream::Out, "\x80"), FailsWithKind(WriteErrorKind::InvalidData));

  // A start byte that cannot begin anything, even with bytes after it.
  EXPECT_THAT(write_std_handle(StdStream::Out, "\xC0"), FailsWithKind(WriteErrorKind::InvalidData));
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());
}

TEST_F(ConsolePath, InvalidByteComesAfterTheValidTextBeforeIt) {
  EXPECT_THAT(
      write_whole(StdStream::Out, "\xFF"),
      FailsWithText(
          "Windows stdio in console mode does not support writing non-UTF-8 byte sequences"));
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());

  auto first = write_std_handle(StdStream::Out, "ok\xFF");
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, 2u);
  EXPECT_FALSE(write_std_handle(StdStream::Out, "\xFF"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"ok");
}

TEST_F(ConsolePath, HalfASurrogatePairIsCompletedAtOnce) {
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {1});
  auto count = write_std_handle(StdStream::Out, "\xF0\x9F\x98\x80z");
  ASSERT_TRUE(count);
  EXPECT_EQ(*count, 4u);
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("3", "1"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"\U0001F600");
}

TEST_F(ConsolePath, PartialAcceptanceCountsTheBytesOfTheUnitsTaken) {
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {3});
  auto count = write_std_handle(StdStream::Out, "a\xC3\xA9\xE2\x82\xAC!");
  ASSERT_TRUE(count);
  EXPECT_EQ(*count, 6u);  // 1 + 2 + 3
  ASSERT_TRUE(write_whole(StdStream::Out, "a\xC3\xA9\xE2\x82\xAC!"));

  // One unit taken counts the bytes of its character, on both sides of each length boundary.
  struct OneUnit {
    std::string_view bytes;
    std::size_t counted;
  };
  for (const OneUnit& row : {OneUnit{"\x7Fz", 1}, OneUnit{"\xC2\x80z", 2}, OneUnit{"\xDF\xBFz", 2},
                             OneUnit{"\xE0\xA0\x80z", 3}}) {
    sim::script_console_accepts(STD_OUTPUT_HANDLE, {1});
    auto taken = write_std_handle(StdStream::Out, row.bytes);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, row.counted) << ::testing::PrintToString(std::string(row.bytes));
  }
}

TEST_F(ConsolePath, ConsoleFailureGivesThePlatformError) {
  sim::fail_next("WriteConsoleW", ERROR_ACCESS_DENIED);
  EXPECT_THAT(write_whole(StdStream::Out, "abc"), FailsWithOsError(5));
}

TEST_F(ConsolePath, Utf8ConsoleTakesTheBytesUnchanged) {
  sim::set_console_output_cp(CP_UTF8);
  ASSERT_TRUE(write_whole(StdStream::Out, "\xFF\xE2\n"));
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "\xFF\xE2\n");
}

TEST_F(ConsolePath, EveryWriteLooksTheHandleUpAgain) {
  ASSERT_TRUE(write_whole(StdStream::Out, "a"));
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::File);
  ASSERT_TRUE(write_whole(StdStream::Out, "b"));
  EXPECT_EQ(sim::calls_to({"GetStdHandle"}).size(), 2u);
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"a");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "b");
}
