// Service names as the platform takes them: UTF-16, nul-terminated, no zero before the end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/simulator.h"
#include "service/wide_nul_string.h"
#include "support/service_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using Units = std::u16string;

using WideNulStringTest = SimTest;

TEST_F(WideNulStringTest, ServiceNameBecomesFifteenUnitsWithTheTerminator) {
  const auto name = WideNulString::from_utf8("tembra_service");
  ASSERT_THAT(name, Succeeds());
  EXPECT_EQ(name->size_with_nul(), 15u);
  constexpr char16_t kExpected[] = u"tembra_service";  // the terminator included
  EXPECT_EQ(Units(name->c_str(), 15), Units(std::begin(kExpected), std::end(kExpected)));
}

TEST_F(WideNulStringTest, ServiceNameGrowsAsTheBufferDoesThenIsFittedToItsLength) {
  {
    const auto name = WideNulString::from_utf8("tembra_service");
    ASSERT_THAT(name, Succeeds());
  }
  // 5 units, 10, 20; the terminator is the 15th, and the storage is fitted to 15 units.
  EXPECT_THAT(
      sim::calls_to({"HeapAlloc", "HeapReAlloc", "HeapFree"}),
      ElementsAre("HeapAlloc(heap#4, 0x0, 10) = ptr", "HeapReAlloc(heap#4, 0x0, ptr, 20) = ptr",
                  "HeapReAlloc(heap#4, 0x0, ptr, 40) = ptr",
                  "HeapReAlloc(heap#4, 0x0, ptr, 30) = ptr", "HeapFree(heap#4, 0x0, ptr) = 1"));
}

TEST_F(WideNulStringTest, EmptyNameIsASingleZeroUnit) {
  const auto name = WideNulString::from_utf8("");
  ASSERT_THAT(name, Succeeds());
  EXPECT_EQ(name->size_with_nul(), 1u);
  EXPECT_EQ(name->c_str()[0], 0);
}

TEST_F(WideNulStringTest, TrailingNulIsTakenAsTheTerminator) {
  const auto name = WideNulString::from_utf8(std::string_view("svc\0", 4));
  ASSERT_THAT(name, Succeeds());
  EXPECT_EQ(name->size_with_nul(), 4u);
}

TEST_F(WideNulStringTest, NulBeforeTheEndIsRejected) {
  for (std::string_view text : {std::string_view("a\0b", 3), std::string_view("\0\0", 2),
                                std::string_view("\0a", 2), std::string_view("ab\0\0", 4)}) {
    EXPECT_THAT(WideNulString::from_utf8(text), FailsWith<InteriorNul>())
        << text.size() << " bytes";
  }
}

TEST_F(WideNulStringTest, CharacterAboveTheBasicPlaneIsASurrogatePairHighFirst) {
  const auto name = WideNulString::from_utf8("a\U0001F600");
  ASSERT_THAT(name, Succeeds());
  constexpr char16_t kExpected[] = u"a\xD83D\xDE00";  // the terminator included
  EXPECT_EQ(Units(name->c_str(), name->size_with_nul()),
            Units(std::begin(kExpected), std::end(kExpected)));
}

}  // namespace
}  // namespace tembra
