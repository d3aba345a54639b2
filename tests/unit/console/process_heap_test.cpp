// The process heap: each block taken, moved and given back with the heap looked up for the call.
// (A block the heap cannot give ends the process: see the line buffer's and the UTF-16 buffer's
// death tests.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/process_heap.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

using ProcessHeapTest = SimTest;

TEST_F(ProcessHeapTest, BlocksComeFromTheProcessHeapAndGoBackToIt) {
  void* block = heap_allocate(16);
  block = heap_reallocate(block, 40);
  heap_free(block);
  heap_free(nullptr);  // nothing to give back: no call
  EXPECT_THAT(sim::calls(),
              ElementsAre("GetProcessHeap() = heap#4", "HeapAlloc(heap#4, 0x0, 16) = ptr",
                          "GetProcessHeap() = heap#4", "HeapReAlloc(heap#4, 0x0, ptr, 40) = ptr",
                          "GetProcessHeap() = heap#4", "HeapFree(heap#4, 0x0, ptr) = 1"));
}

}  // namespace
}  // namespace tembra
