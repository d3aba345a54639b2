// The process heap: each block taken, moved and given back with the heap looked up for the call.
// (A block the heap cannot give ends the process: see the line buffer's and the UTF-16 buffer's
// death tests.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "console/process_heap.h"
#include "platform/sim/simulator.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

using ProcessHeapTest = SimTest;
using ProcessHeapDeathTest = SimTest;

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

// The simulated heap, like the platform's, aligns its blocks to 8 bytes, and further only when
// asked (`heap`): then too the start leaves room in front of it for the heap block's address.
TEST_F(ProcessHeapTest, BlocksForNewAreAlignedAsTheCompilerAssumes) {
  constexpr std::size_t kDefault = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
  struct Row {
    std::size_t bytes;
    std::size_t alignment;
    std::size_t heap;  // what the heap's block is aligned to (8: to no more)
  };
  for (const Row row :
       {Row{1, kDefault, 8}, Row{40, 64, 8}, Row{1, kDefault, 16}, Row{40, 64, 64}}) {
    sim::align_next_heap_block(row.heap);
    void* block =
        row.alignment == kDefault ? new_block(row.bytes) : new_block(row.bytes, row.alignment);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % row.alignment, 0u) << row.alignment;
    std::memset(block, 0xA5, row.bytes);  // all of it within the heap's block
    free_new_block(block);
  }
  free_new_block(nullptr);  // nothing to give back
}

TEST_F(ProcessHeapDeathTest, BlockForNewTooLargeToAlignEndsTheProcess) {
  EXPECT_EXIT(static_cast<void>(new_block(std::numeric_limits<std::size_t>::max())),
              ::testing::ExitedWithCode(sim::kFastFailExitStatus),
              "^memory allocation of 18446744073709551615 bytes failed\n$");
}

}  // namespace
}  // namespace tembra
