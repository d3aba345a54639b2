// The one owner of a platform handle: each non-null handle closed exactly once, when its owner
// goes away or takes another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/unique_handle.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<int> closed;

// Handles are the addresses of these; the traits record which were closed.
int first_handle = 1;
int second_handle = 2;

struct RecordedTraits {
  using Handle = int*;
  static void close(Handle handle) { closed.push_back(*handle); }
};
using Owner = UniqueHandle<RecordedTraits>;

class UniqueHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { closed.clear(); }
};

TEST_F(UniqueHandleTest, ClosesItsHandleOnceWhenItGoesAway) {
  {
    const Owner owner(&first_handle);
    EXPECT_EQ(owner.get(), &first_handle);
    EXPECT_THAT(closed, IsEmpty());
  }
  EXPECT_THAT(closed, ElementsAre(1));
  { const Owner none(nullptr); }
  EXPECT_THAT(closed, ElementsAre(1)) << "a null handle is never closed";
}

TEST_F(UniqueHandleTest, MovedHandleIsClosedByItsNewOwnerOnly) {
  {
    Owner owner(&first_handle);
    const Owner taker(std::move(owner));
    EXPECT_EQ(owner.get(), nullptr);  // NOLINT(bugprone-use-after-move): moved-from holds null
    EXPECT_EQ(taker.get(), &first_handle);
  }
  EXPECT_THAT(closed, ElementsAre(1));
}

TEST_F(UniqueHandleTest, TakingAnotherHandleClosesTheOneHeld) {
  Owner owner(&first_handle);
  owner = Owner(&second_handle);
  EXPECT_THAT(closed, ElementsAre(1));
  EXPECT_EQ(owner.get(), &second_handle);
  owner = Owner(nullptr);
  EXPECT_THAT(closed, ElementsAre(1, 2));
  EXPECT_EQ(owner.get(), nullptr);
}

}  // namespace
}  // namespace tembra
