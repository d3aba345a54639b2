// Trailing white space: the whole Unicode White_Space set, and nothing else.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/white_space.h"

namespace tembra {
namespace {

TEST(WhiteSpaceTest, EveryWhiteSpaceCharacterGoesFromTheEnd) {
  for (const std::string_view space :
       {"\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\u0085", "\u00A0", "\u1680",
        "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008",
        "\u2009", "\u200A", "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"}) {
    const std::string text = "a" + std::string(space) + "b" + std::string(space);
    EXPECT_EQ(without_trailing_white_space(text), "a" + std::string(space) + "b")
        << ::testing::PrintToString(std::string(space));
  }
}

TEST(WhiteSpaceTest, OtherCharactersStay) {
  // The zero width space, the neighbours of next line and no-break space, the ideographic comma.
  for (const std::string_view kept : {"\u200B", "\u0084", "\u00A1", "\u3001", "x"}) {
    const std::string text = "a" + std::string(kept);
    EXPECT_EQ(without_trailing_white_space(text), text) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace tembra
