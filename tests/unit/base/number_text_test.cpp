// A number's digits in storage of their own, at both ends of each range.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/number_text.h"

namespace tembra {
namespace {

TEST(NumberTextTest, DigitsFillTheirStorageAtTheEndsOfTheRanges) {
  EXPECT_EQ(NumberText::decimal(std::uint64_t{0}).view(), "0");
  EXPECT_EQ(NumberText::decimal(std::numeric_limits<std::uint64_t>::max()).view(),
            "18446744073709551615");
  EXPECT_EQ(NumberText::decimal(std::numeric_limits<std::int64_t>::min()).view(),
            "-9223372036854775808");
  EXPECT_EQ(NumberText::decimal(std::int64_t{-1}).view(), "-1");
  EXPECT_EQ(NumberText::hex(std::numeric_limits<std::uint64_t>::max()).view(), "ffffffffffffffff");
  EXPECT_EQ(NumberText::hex(0xA0).view(), "a0");
}

}  // namespace
}  // namespace tembra
