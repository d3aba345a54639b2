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

// Each name as its units, then the terminator: a trailing nul is taken as the terminator, a
// character above the basic plane is a surrogate pair, high first.
TEST_F(WideNulStringTest, NameBecomesItsUnitsAndOneTerminator) {
  struct Row {
    std::string_view utf8;
    std::u16string_view units;
  };
  for (const Row& row :
       {Row{"tembra_service", u"tembra_service"}, Row{"", u""},
        Row{std::string_view("svc\0", 4), u"svc"}, Row{"a\U0001F600", u"a\xD83D\xDE00"}}) {
    const auto name = WideNulString::from_utf8(row.utf8);
    ASSERT_THAT(name, Succeeds()) << row.units.size();
    EXPECT_EQ(name->size_with_nul(), row.units.size() + 1);
    EXPECT_EQ(Units(name->c_str(), name->size_with_nul()), Units(row.units) + u'\0');
  }
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

TEST_F(WideNulStringTest, NulBeforeTheEndIsRejected) {
  for (std::string_view text : {std::string_view("a\0b", 3), std::string_view("\0\0", 2),
                                std::string_view("\0a", 2), std::string_view("ab\0\0", 4)}) {
    EXPECT_THAT(WideNulString::from_utf8(text), FailsWith<InteriorNul>())
        << text.size() << " bytes";
  }
}

}  // namespace
}  // namespace tembra
