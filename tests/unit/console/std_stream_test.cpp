// Writes to the standard handles: the path each write takes, writes left pending, counts that
// cannot be true, writes that make no progress.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/print.h"
#include "console/std_stream.h"
#include "platform/sim/simulator.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"
#include "support/write_lengths.h"

namespace tembra {
namespace {

using StdStreamTest = SimTest;

TEST_F(StdStreamTest, NoBytesMakeNoCall) {
  EXPECT_THAT(write_std_handle(StdStream::Err, ""), SucceedsWith(0u));
  EXPECT_TRUE(sim::calls().empty());
}

TEST_F(StdStreamTest, Utf8ConsoleTakesTheBytesUnchanged) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::set_console_output_cp(CP_UTF8);
  ASSERT_THAT(write_whole(StdStream::Out, "\xFF\xE2\n"), Succeeds());
  EXPECT_TRUE(sim::calls_to({"WriteConsoleW"}).empty());
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "\xFF\xE2\n");
}

TEST_F(StdStreamTest, EveryWriteLooksTheHandleUpAgain) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  ASSERT_THAT(write_whole(StdStream::Out, "a"), Succeeds());
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::File);
  ASSERT_THAT(write_whole(StdStream::Out, "b"), Succeeds());
  EXPECT_EQ(sim::calls_to({"GetStdHandle"}).size(), 2u);
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"a");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "b");
}

TEST_F(StdStreamTest, PendingWriteThatCompletesCountsItsBytes) {
  sim::make_next_write_pending(STD_OUTPUT_HANDLE, sim::PendingWrite::Completes);
  print_out(kSuccessLine);
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::calls_to({"NtWriteFile", "WaitForSingleObject"}),
            (std::vector<std::string>{
                "NtWriteFile(stdout#2, null, null, null, ptr, ptr, 76, null, null) = 0x103",
                "WaitForSingleObject(stdout#2, 4294967295) = 0"}));
}

TEST_F(StdStreamTest, WriteThatTookNothingFailsTheWholeWrite) {
  for (const NoProgress& way : kNoProgress) {
    SCOPED_TRACE(way.name);
    fresh_process();
    sim::set_std_handle(STD_OUTPUT_HANDLE, way.kind);
    way.make();
    EXPECT_THAT(write_whole(StdStream::Out, "line\n"),
                FailsWithText("failed to write whole buffer"));
  }
}

using StdStreamDeathTest = SimTest;

// Its message goes to standard error, and nowhere without one.
TEST_F(StdStreamDeathTest, WriteLeftPendingEndsTheProcess) {
  for (const sim::StdKind err : {sim::StdKind::File, sim::StdKind::None, sim::StdKind::Invalid}) {
    sim::set_std_handle(STD_ERROR_HANDLE, err);
    sim::make_next_write_pending(STD_OUTPUT_HANDLE, sim::PendingWrite::StaysPending);
    EXPECT_EXIT(print_out(kSuccessLine), ::testing::ExitedWithCode(sim::kFastFailExitStatus),
                err == sim::StdKind::File ? "^fatal runtime error: I/O error: operation failed to "
                                            "complete synchronously, aborting\n$"
                                          : "^$");
  }
}

}  // namespace
}  // namespace tembra
