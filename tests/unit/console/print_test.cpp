// Formatted prints: one write per piece on standard error, prints inside prints, the end-of-run
// flush, missing handles, and what a failed write does to each kind of print.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "console/line_buffer.h"
#include "console/print.h"
#include "console/std_stream.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"
#include "support/write_lengths.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using ::testing::ExitedWithCode;

using PrintTest = SimTest;

TEST_F(PrintTest, StandardErrorGetsOneWritePerPiece) {
  print_err("Error: ", "one", "\n");
  EXPECT_THAT(write_lengths("NtWriteFile"), ElementsAre("7", "3", "1"));
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "Error: one\n");
}

bool taken_by_another_thread(StdStream stream) {
  StreamLock& lock = stream_state(stream).lock;
  bool taken = false;
  std::thread([&] {
    taken = lock.try_lock();
    if (taken) {
      lock.unlock();
    }
  }).join();
  return taken;
}

TEST_F(PrintTest, PrintInsidePrintWritesInTheMiddleAndStillKeepsOtherThreadsOut) {
  bool taken_during_print = true;
  auto inner = [&](TextSink&) -> SinkResult {
    print_err("b");  // takes the lock a second time and releases it once
    taken_during_print = taken_by_another_thread(StdStream::Err);
    return {};
  };
  auto outer = [&](TextSink& sink) { return write_pieces(sink, "a", inner, "c"); };
  print_err_best_effort(outer);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "abc");
  EXPECT_FALSE(taken_during_print);
  EXPECT_TRUE(taken_by_another_thread(StdStream::Err)) << "free once the outer print is done";
}

TEST_F(PrintTest, AfterTheEndOfRunFlushNothingIsBuffered) {
  print_out("abc");
  finish_output();
  EXPECT_TRUE(taken_by_another_thread(StdStream::Out)) << "the flush gave the lock back";
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "abc");
  print_out("d");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "abcd");
}

TEST_F(PrintTest, EndOfRunLeavesOutputAloneWhileAnotherThreadPrints) {
  print_out("partial");
  StreamLock& lock = stream_state(StdStream::Out).lock;
  std::atomic<bool> held = false;
  std::atomic<bool> release = false;
  std::thread printer([&] {
    const bool taken = lock.try_lock();
    held = true;
    while (!release) {
      std::this_thread::yield();
    }
    if (taken) {
      lock.unlock();
    }
  });
  while (!held) {
    std::this_thread::yield();
  }
  finish_output();
  release = true;
  printer.join();
  EXPECT_TRUE(sim::calls_to({"NtWriteFile", "HeapFree"}).empty());
  print_out("\n");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "partial\n") << "the buffer is still in use";
}

TEST_F(PrintTest, UnusedStandardOutputIsNeverGivenABuffer) {
  finish_output();
  print_out("d");
  EXPECT_EQ(sim::stream_bytes(STD_OUTPUT_HANDLE), "d");
  EXPECT_TRUE(sim::calls_to({"HeapAlloc"}).empty());
}

TEST_F(PrintTest, MissingHandlesSwallowEverything) {
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

TEST_F(PrintTest, FailedReportDropsTheRestAndReturns) {
  sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL), 2);
  auto report = [](TextSink& sink) { return write_pieces(sink, "Error: ", "text", "\n"); };
  print_err_best_effort(report);
  EXPECT_EQ(sim::stream_bytes(STD_ERROR_HANDLE), "Error: ");
  EXPECT_EQ(sim::calls_to({"NtWriteFile"}).size(), 2u);  // the last piece was never produced
}

using PrintDeathTest = SimTest;

// After what went out before the failing piece: the stream's name and the error.
TEST_F(PrintDeathTest, FailedPrintEndsTheProcessWithItsMessage) {
  struct Row {
    int failing_write;  // of the file, or 0: a console that takes nothing
    void (*print)();
    const char* message;
  };
  for (const Row& row : {
           Row{1, [] { print_out(kSuccessLine); },
               "^failed printing to stdout: .*\\(os error 112\\)\n$"},
           Row{2, [] { print_err("one", "two", "three"); },
               "^onefailed printing to stderr: .*\\(os error 112\\)\n$"},
           Row{0, [] { print_out("partial", " line\n"); },
               "^failed printing to stdout: failed to write the buffered data\n$"},
       }) {
    fresh_process();
    if (row.failing_write == 0) {
      sim::set_std_handle(STD_OUTPUT_HANDLE, sim::StdKind::Console);
      sim::script_console_accepts(STD_OUTPUT_HANDLE, {0});
    } else {
      sim::fail_next("NtWriteFile", static_cast<DWORD>(STATUS_DISK_FULL), row.failing_write);
    }
    EXPECT_EXIT(row.print(), ExitedWithCode(sim::kFastFailExitStatus), row.message);
  }
}

}  // namespace
}  // namespace tembra
