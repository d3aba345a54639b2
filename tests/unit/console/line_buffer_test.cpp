// The line buffer of standard output: whole lines in one write, partial lines held back, pieces too
// large for it, flushes that fail part way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "console/line_buffer.h"
#include "console/print.h"
#include "platform/sim/simulator.h"
#include "support/console_matchers.h"
#include "support/sim_fixture.h"
#include "support/write_lengths.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

using LineBufferTest = SimTest;

// Printed with an empty buffer, the line goes out as soon as it is whole, in one write of its 76
// bytes or units; nothing stays behind, and the buffer's one block is given back.
TEST_F(LineBufferTest, SuccessLineReachesAFileOrAConsoleInOneWrite) {
  for (const std::string_view write : {"NtWriteFile", "WriteConsoleW"}) {
    SCOPED_TRACE(write);
    fresh_process();
    const bool console = write == "WriteConsoleW";
    sim::set_std_handle(STD_OUTPUT_HANDLE, console ? sim::StdKind::Console : sim::StdKind::File);
    print_out(kSuccessLine);
    EXPECT_THAT(write_lengths(write), ElementsAre("76"));
    finish_output();
    EXPECT_THAT(sim::calls_to({"NtWriteFile", "WriteConsoleW"}), ElementsAre(StartsWith(write)));
    EXPECT_EQ(console ? sim::console_units(STD_OUTPUT_HANDLE)
                      : units_of(sim::stream_bytes(STD_OUTPUT_HANDLE)),
              units_of(kSuccessLine));
    EXPECT_EQ(sim::calls_to({"HeapAlloc"}).size(), 1u);
    EXPECT_EQ(sim::live_heap_blocks(), 0);
  }
}

TEST_F(LineBufferTest, PartialLineWaitsForALaterLineFeed) {
  print_out("Service ", Decimal{42});
  EXPECT_TRUE(sim::calls_to({"NtWriteFile"}).empty());
  print_out(" gone\nnext");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("16"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "Service 42 gone\n");
  finish_output();
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "Service 42 gone\nnext");
}

TEST_F(LineBufferTest, PartialLineGoesOutWhenTheNextPieceDoesNotFit) {
  const std::string first(1000, 'a');
  const std::string second(100, 'b');
  print_out(first);
  print_out(second);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1000"));
  finish_output();
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1000", "100"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), first + second);
}

TEST_F(LineBufferTest, PieceAsLargeAsTheBufferBypassesIt) {
  const std::string large(OutputLineBuffer::kCapacity, 'x');
  print_out(large);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1024"));
  print_out("abc");
  print_out(large);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1024", "3", "1024"));
  // One byte less than the capacity fits and is kept.
  print_out(std::string(OutputLineBuffer::kCapacity - 1, 'y'));
  EXPECT_EQ(sim::calls_to({"NtWriteFile"}).size(), 3u);
}

// Nothing went out, nothing is lost: whether the flush came from a line feed or was asked for.
TEST_F(LineBufferTest, WriteThatTookNothingFailsTheFlush) {
  for (const NoProgress& way : kNoProgress) {
    SCOPED_TRACE(way.name);
    fresh_process();
    sim::set_std_handle(STD_OUTPUT_HANDLE, way.kind);
    OutputLineBuffer buffer = OutputLineBuffer::make();
    ASSERT_THAT(buffer.write("abc"), Succeeds());
    way.make();
    EXPECT_THAT(buffer.write("\n"), FailsWithText("failed to write the buffered data"));
    EXPECT_EQ(buffer.filled(), 4u);
    way.make();
    EXPECT_THAT(buffer.flush(), FailsWithText("failed to write the buffered data"));
    EXPECT_EQ(buffer.filled(), 4u);
  }
}

TEST_F(LineBufferTest, PartlyFlushedBytesLeaveTheBuffer) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {2, 0});
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_THAT(buffer.write("abcd"), Succeeds());
  EXPECT_THAT(buffer.flush(), FailsWithText("failed to write the buffered data"));
  EXPECT_EQ(buffer.filled(), 2u);
  ASSERT_THAT(buffer.flush(), Succeeds());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"abcd");
}

TEST_F(LineBufferTest, FlushToAHandleClosedMeanwhileDropsTheBytes) {
  print_out("abc");
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_INVALID_HANDLE));
  finish_output();
  print_out("x");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "x");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("3", "1"));
}

TEST_F(LineBufferTest, CompleteLineLeftBehindGoesOutBeforeTheNextPartialLine) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {0, 0});
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_THAT(buffer.write("ab"), Succeeds());
  ASSERT_THAT(buffer.write("c\n"), FailsWithText("failed to write the buffered data"));
  // While the line cannot go out, the next piece is not taken.
  ASSERT_THAT(buffer.write("x"), FailsWithText("failed to write the buffered data"));
  EXPECT_EQ(buffer.filled(), 4u);
  ASSERT_THAT(buffer.write("x"), Succeeds());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"abc\n");
  EXPECT_EQ(buffer.filled(), 1u);
}

TEST_F(LineBufferTest, LineWrittenPastAnEmptyBufferFailsAsAWholeWrite) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {0});
  OutputLineBuffer buffer = OutputLineBuffer::make();
  EXPECT_THAT(buffer.write("line\nrest"), FailsWithText("failed to write whole buffer"));
  EXPECT_EQ(buffer.filled(), 0u);  // the rest after the line is not taken either
}

TEST_F(LineBufferTest, FlushRefusedByThePlatformKeepsTheBytes) {
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_THAT(buffer.write(std::string(1000, 'a')), Succeeds());
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL));
  // Too large for the space left: the flush goes first, and fails.
  EXPECT_THAT(buffer.write(std::string(100, 'b')), FailsWithOsError(ERROR_DISK_FULL));
  EXPECT_EQ(buffer.filled(), 1000u);
  // The same for a line that has to go into the buffer first.
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL));
  EXPECT_THAT(buffer.write(std::string(100, 'b') + "\nc"), FailsWithOsError(ERROR_DISK_FULL));
  EXPECT_EQ(buffer.filled(), 1000u);
}

using LineBufferDeathTest = SimTest;

TEST_F(LineBufferDeathTest, NoMemoryForTheBufferEndsTheProcess) {
  sim::fail_next("HeapAlloc", 0);
  EXPECT_EXIT(print_out(kSuccessLine), ::testing::ExitedWithCode(sim::kFastFailExitStatus),
              "^memory allocation of 1024 bytes failed\n$");
}

}  // namespace
}  // namespace tembra
