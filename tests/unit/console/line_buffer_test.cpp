#include <string>
#include <thread>

#include "console/line_buffer.h"
#include "console/std_stream.h"
#include "support/console_test_support.h"

using ::testing::ElementsAre;

using ConsoleBuffering = SimTest;

TEST_F(ConsoleBuffering, SuccessLineReachesAFileInOneWrite) {
  print_out(kSuccessLine);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("76"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), kSuccessLine);
  finish_output();
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("76"));  // nothing stayed behind
  EXPECT_EQ(sim::calls_to({"HeapAlloc"}).size(), 1u);
  EXPECT_EQ(sim::live_heap_blocks(), 0);
}

TEST_F(ConsoleBuffering, SuccessLineReachesAConsoleInOneWrite) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  print_out(kSuccessLine);
  finish_output();
  EXPECT_THAT(write_lengths("WriteConsoleW"), ElementsAre("76"));
  EXPECT_TRUE(sim::calls_to({"NtWriteFile"}).empty());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), units_of(kSuccessLine));
}

TEST_F(ConsoleBuffering, PartialLineWaitsForALaterLineFeed) {
  print_out("Service ", UnsignedDecimal{42});
  EXPECT_TRUE(sim::calls_to({"NtWriteFile"}).empty());
  print_out(" gone\nnext");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("16"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "Service 42 gone\n");
  finish_output();
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "Service 42 gone\nnext");
}

TEST_F(ConsoleBuffering, PartialLineGoesOutWhenTheNextPieceDoesNotFit) {
  const std::string first(1000, 'a');
  const std::string second(100, 'b');
  print_out(first);
  print_out(second);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1000"));
  finish_output();
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("1000", "100"));
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), first + second);
}

TEST_F(ConsoleBuffering, PieceAsLargeAsTheBufferBypassesItAfterAFlush) {
  const std::string large(OutputLineBuffer::kCapacity, 'x');
  print_out("abc");
  print_out(large);
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("3", "1024"));
  // One byte less than the capacity fits and is kept.
  print_out(std::string(OutputLineBuffer::kCapacity - 1, 'y'));
  EXPECT_EQ(sim::calls_to({"NtWriteFile"}).size(), 2u);
}

TEST_F(ConsoleBuffering, AfterTheEndOfRunFlushNothingIsBuffered) {
  print_out("abc");
  finish_output();
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "abc");
  print_out("d");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "abcd");
}

TEST_F(ConsoleBuffering, UnusedStandardOutputIsNeverGivenABuffer) {
  finish_output();
  print_out("d");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "d");
  EXPECT_TRUE(sim::calls_to({"HeapAlloc"}).empty());
}

TEST_F(ConsoleBuffering, StandardErrorGetsOneWritePerPiece) {
  print_err("Error: ", "one", "\n");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("7", "3", "1"));
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "Error: one\n");
}

TEST_F(ConsoleBuffering, PrintInsidePrintWritesInTheMiddle) {
  auto outer = [](TextSink& sink) -> SinkResult {
    if (auto r = sink.write_str("a"); !r) {
      return r;
    }
    print_err("b");
    return sink.write_str("c");
  };
  print_err_best_effort(outer);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "abc");
}

TEST_F(ConsoleBuffering, PrintInsidePrintStillKeepsOtherThreadsOut) {
  StreamLock& lock = stream_state(StdStream::Err).lock;
  auto taken_by_another_thread = [&lock] {
    bool taken = false;
    std::thread([&] {
      taken = lock.try_lock();
      if (taken) {
        lock.unlock();
      }
    }).join();
    return taken;
  };
  bool taken_during_print = true;
  auto outer = [&](TextSink& sink) -> SinkResult {
    print_err("inner");  // takes the lock a second time and releases it once
    taken_during_print = taken_by_another_thread();
    return sink.write_str("outer");
  };
  print_err_best_effort(outer);
  EXPECT_FALSE(taken_during_print);
  EXPECT_TRUE(taken_by_another_thread()) << "free once the outer print is done";
}

TEST_F(ConsoleBuffering, ZeroProgressIsReportedByWhoWasWriting) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {0, 0});
  EXPECT_THAT(write_whole(StdStream::Out, "line\n"), FailsWithText("failed to write whole buffer"));

  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_TRUE(buffer.write_piece("abc"));
  EXPECT_THAT(buffer.write_piece("\n"), FailsWithText("failed to write the buffered data"));
  EXPECT_EQ(buffer.filled(), 4u);  // nothing went out, nothing is lost
}

TEST_F(ConsoleBuffering, PartlyFlushedBytesLeaveTheBuffer) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {2, 0});
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_TRUE(buffer.write_piece("abcd"));
  EXPECT_FALSE(buffer.flush());
  EXPECT_EQ(buffer.filled(), 2u);
  ASSERT_TRUE(buffer.flush());
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"abcd");
}

TEST_F(ConsoleBuffering, MissingHandlesSwallowEverything) {
  for (auto kind : {sim::StdKind::None, sim::StdKind::Invalid, sim::StdKind::Closed}) {
    SCOPED_TRACE(static_cast<int>(kind));
    fresh_process();
    sim::set_std_handle(STD_OUTPUT_HANDLE, kind);
    sim::set_std_handle(STD_ERROR_HANDLE, kind);
    print_out("partial");
    print_out(kSuccessLine);
    print_err("stop failed\n");
    // More than the buffer holds, in partial lines: what it held is dropped to make room, and a
    // piece too large for it goes past it, so nothing is left behind.
    print_out(std::string(1000, 'a'));
    print_out(std::string(OutputLineBuffer::kCapacity + 1, 'b'));
    {
      StreamLockGuard guard(stream_state(StdStream::Out).lock);
      EXPECT_EQ(stdout_line_buffer().filled(), 0u);
    }
    finish_output();
    EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "");
    EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "");
  }
}

TEST_F(ConsoleBuffering, FlushToAHandleClosedMeanwhileDropsTheBytes) {
  print_out("abc");
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_INVALID_HANDLE));
  finish_output();
  print_out("x");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "x");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("3", "1"));
}

TEST_F(ConsoleBuffering, CompleteLineLeftBehindGoesOutBeforeTheNextPartialLine) {
  sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
  sim::script_console_accepts(STD_OUTPUT_HANDLE, {0});
  OutputLineBuffer buffer = OutputLineBuffer::make();
  ASSERT_TRUE(buffer.write_piece("ab"));
  ASSERT_FALSE(buffer.write_piece("c\n"));
  ASSERT_TRUE(buffer.write_piece("x"));
  EXPECT_EQ(sim::console_units(STD_OUTPUT_HANDLE), u"abc\n");
  EXPECT_EQ(buffer.filled(), 1u);
}
