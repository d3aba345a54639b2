#include "console/line_buffer.h"
#include "console/std_stream.h"
#include "support/console_test_support.h"

using ::testing::ExitedWithCode;

using ConsoleFaultsDeathTest = SimTest;

TEST_F(ConsoleFaultsDeathTest, FailedPrintOutEndsTheProcessWithItsMessage) {
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL));
  EXPECT_EXIT(print_out(kSuccessLine), ExitedWithCode(sim::kFastFailExitStatus),
              "^failed printing to stdout: .*\\(os error 112\\)\n$");
}

TEST_F(ConsoleFaultsDeathTest, FailedPrintErrEndsTheProcessAfterTheFirstFailingPiece) {
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL), 2);
  EXPECT_EXIT(print_err("one", "two", "three"), ExitedWithCode(sim::kFastFailExitStatus),
              "^onefailed printing to stderr: .*\\(os error 112\\)\n$");
}

TEST_F(ConsoleFaultsDeathTest, BufferedDataThatCannotBeWrittenEndsTheProcess) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {0});
  EXPECT_EXIT(print_out("partial", " line\n"), ExitedWithCode(sim::kFastFailExitStatus),
              "^failed printing to stdout: failed to write the buffered data\n$");
}

TEST_F(ConsoleFaultsDeathTest, WriteLeftPendingEndsTheProcess) {
  sim::make_next_write_pending(STD_OUTPUT_HANDLE, sim::PendingWrite::StaysPending);
  EXPECT_EXIT(print_out(kSuccessLine), ExitedWithCode(sim::kFastFailExitStatus),
              "^fatal runtime error: I/O error: operation failed to complete synchronously, "
              "aborting\n$");
}

TEST_F(ConsoleFaultsDeathTest, NoMemoryForTheLineBufferEndsTheProcess) {
  sim::fail_next("HeapAlloc", 0);
  EXPECT_EXIT(print_out(kSuccessLine), ExitedWithCode(sim::kFastFailExitStatus),
              "^memory allocation of 1024 bytes failed\n$");
}

using ConsoleFaults = SimTest;

TEST_F(ConsoleFaults, PendingWriteThatCompletesCountsItsBytes) {
  sim::make_next_write_pending(STD_OUTPUT_HANDLE, sim::PendingWrite::Completes);
  print_out(kSuccessLine);
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  EXPECT_EQ(sim::calls_to({"NtWriteFile", "WaitForSingleObject"}),
            (std::vector<std::string>{
                "NtWriteFile(stdout#2, null, null, null, ptr, ptr, 76, null, null) = 0x103",
                "WaitForSingleObject(stdout#2, 4294967295) = 0"}));
}

TEST_F(ConsoleFaults, FailedReportDropsTheRestAndReturns) {
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL), 2);
  auto report = [](TextSink& sink) { return write_pieces(sink, "Error: ", "text", "\n"); };
  print_err_best_effort(report);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "Error: ");
  EXPECT_EQ(sim::calls_to({"NtWriteFile"}).size(), 2u);  // the last piece was never produced
}

TEST_F(ConsoleFaults, CountLargerThanOfferedIsAWriteThatTookNothing) {
  // Far enough past the 5 bytes offered to leave the console's conversion buffer.
  constexpr DWORD kExtra = 4096;
  for (auto kind : {sim::StdKind::File, sim::StdKind::Console}) {
    SCOPED_TRACE(static_cast<int>(kind));
    fresh_process();
    sim::set_std_handle(STD_OUTPUT_HANDLE, kind);
    sim::overstate_next_write(STD_OUTPUT_HANDLE, kExtra);
    EXPECT_THAT(write_whole(StdStream::Out, "line\n"),
                FailsWithText("failed to write whole buffer"));
  }

  fresh_process();
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_TRUE(buffer.write_piece("abc"));
  sim::overstate_next_write(STD_OUTPUT_HANDLE, kExtra);
  EXPECT_THAT(buffer.flush(), FailsWithText("failed to write the buffered data"));
  EXPECT_EQ(buffer.filled(), 3u);
}
