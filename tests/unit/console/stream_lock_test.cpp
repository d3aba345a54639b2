// The lock of one standard stream: re-entrant for its holder, waited for by everyone else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "console/stream_lock.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

using StreamLockTest = SimTest;

TEST_F(StreamLockTest, AnotherThreadsLockIsWaitedForYieldingMeanwhile) {
  StreamLock lock;
  std::atomic<bool> held = false;
  std::atomic<bool> release = false;
  bool taken = false;
  std::thread holder([&] {
    taken = lock.try_lock();
    held = true;
    while (!release) {
      std::this_thread::yield();
    }
    if (taken) {
      lock.unlock();
    }
    held = false;
  });
  while (!held) {
    std::this_thread::yield();
  }
  // The holder lets go only once this thread has found the lock taken and yielded.
  sim::run_in_next_sleep([&] {
    release = true;
    while (held) {
      std::this_thread::yield();
    }
  });
  lock.lock();
  EXPECT_TRUE(taken);
  EXPECT_TRUE(lock.held_by_this_thread());
  lock.unlock();
  holder.join();
  EXPECT_THAT(sim::calls(), ElementsAre("Sleep(0)"));
}

}  // namespace
}  // namespace tembra
