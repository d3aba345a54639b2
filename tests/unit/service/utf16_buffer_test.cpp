#include <gtest/gtest.h>

#include <string>

#include "platform/sim/simulator.h"
#include "service/utf16_buffer.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

struct CapacityCase {
  std::string text;
  std::size_t length;
  std::size_t capacity;
};

class Utf8ToUtf16Capacity : public SimTest, public ::testing::WithParamInterface<CapacityCase> {};

// Start at max(4, ceil(bytes after the first character / 4) + 1), then double when full,
// unless the bytes still ahead ask for more.
TEST_P(Utf8ToUtf16Capacity, FollowsTheAllocationPolicy) {
  const Utf16Buffer buffer = utf8_to_utf16(GetParam().text);
  EXPECT_EQ(buffer.length(), GetParam().length);
  EXPECT_EQ(buffer.capacity(), GetParam().capacity);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Utf8ToUtf16Capacity,
    ::testing::Values(CapacityCase{"", 0, 0},                         // no storage at all
                      CapacityCase{"a", 1, 4},                        // never below 4
                      CapacityCase{"abcde", 5, 8},                    // 4 then doubled
                      CapacityCase{"tembra_service", 14, 20},         // 5, 10, 20
                      CapacityCase{"abcdefghijklmnopq", 17, 20},      // 5, 10, 20
                      CapacityCase{"abcdefghijklmnopqrstu", 21, 24},  // 6, 12, 24
                      // Each three-byte character gives one unit: 1 + ceil(9/4) = 4, then
                      // max(8, 4 + ceil(3/4) + 1) = 8.
                      CapacityCase{"\u20AC\u20AC\u20AC\u20AC\u20AC", 5, 8},
                      // The first character's second unit counts: max(4, 0 + 1 + 1) = 4.
                      CapacityCase{"\U0001F600", 2, 4}));

using Utf16BufferDeathTest = SimTest;

TEST_F(Utf16BufferDeathTest, GrowthTheHeapCannotGiveEndsTheProcessWithTheBytesAskedFor) {
  // The failures are made in the child process that dies, not in this one.
  EXPECT_EXIT(
      {
        sim::fail_next("HeapAlloc", 0);
        (void)utf8_to_utf16("a");
      },
      ::testing::ExitedWithCode(sim::kFastFailExitStatus),
      "^memory allocation of 8 bytes failed\n$");
  EXPECT_EXIT(
      {
        sim::fail_next("HeapReAlloc", 0);
        (void)utf8_to_utf16("abcde");  // 4 units, then 8
      },
      ::testing::ExitedWithCode(sim::kFastFailExitStatus),
      "^memory allocation of 16 bytes failed\n$");
}

TEST_F(Utf16BufferDeathTest, CapacityBeyondThePlatformsLimitEndsTheProcess) {
  // 0x7FFFFFFE bytes hold 0x3FFFFFFF units and no more.
  EXPECT_EXIT(Utf16Buffer().reallocate(0x40000000),
              ::testing::ExitedWithCode(sim::kFastFailExitStatus), "^capacity overflow\n$");
}

}  // namespace
}  // namespace tembra
