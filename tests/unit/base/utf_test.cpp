#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using Units = std::u16string;
using View = std::basic_string_view<WCHAR>;

using Utf8Sequences = SimTest;

TEST_F(Utf8Sequences, ValidPrefixStopsAtTheFirstIllFormedSequence) {
  struct Case {
    std::string_view bytes;
    std::size_t valid;
  };
  const Case cases[] = {
      {"plain", 5},
      {"a\xC3\xA9", 3},
      {"a\xC3", 1},              // cut short
      {"a\xC0\xAF", 1},          // overlong two-byte form
      {"a\xE0\x80\xAF", 1},      // overlong three-byte form
      {"a\xED\xA0\x80", 1},      // an encoded surrogate
      {"a\xF4\x90\x80\x80", 1},  // above U+10FFFF
      {"\xF0\x9F\x98\x80!", 5},  // four bytes
      {"\xE2\x82\xAC\x80", 3},   // stray continuation byte
      {"\xF5\x80\x80\x80", 0},   // not a start byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(valid_utf8_prefix(c.bytes), c.valid)
        << ::testing::PrintToString(std::string(c.bytes));
  }
}

TEST_F(Utf8Sequences, SequenceWidthOfStartBytes) {
  EXPECT_EQ(utf8_sequence_width(0x7F), 1u);
  EXPECT_EQ(utf8_sequence_width(0x80), 0u);
  EXPECT_EQ(utf8_sequence_width(0xC1), 0u);
  EXPECT_EQ(utf8_sequence_width(0xC2), 2u);
  EXPECT_EQ(utf8_sequence_width(0xEF), 3u);
  EXPECT_EQ(utf8_sequence_width(0xF4), 4u);
  EXPECT_EQ(utf8_sequence_width(0xF5), 0u);
}

using StrictUtf16ToUtf8 = SimTest;

TEST_F(StrictUtf16ToUtf8, ConvertsPairsAndFailsOnAnyUnpairedSurrogate) {
  EXPECT_EQ(utf16_to_utf8(View(u"A\u00E9\u20AC\xD83D\xDE00")), "A\u00E9\u20AC\U0001F600");
  EXPECT_EQ(utf16_to_utf8(View(u"\xDBFF\xDFFF")), "\U0010FFFF");
  EXPECT_EQ(utf16_to_utf8(View(u"")), "");
  for (View bad : {View(u"\xDC00"), View(u"\xD800"), View(u"\xD800x"), View(u"\xD800\xD800")}) {
    EXPECT_THAT(utf16_to_utf8(bad), FailsWith<InvalidUtf16>());
  }
  // A view that ends between the halves of a pair fails, though its storage goes on.
  constexpr WCHAR kPair[] = u"a\xD83D\xDE00";
  EXPECT_EQ(utf16_to_utf8(View(kPair, 3)), "a\U0001F600");
  EXPECT_THAT(utf16_to_utf8(View(kPair, 2)), FailsWith<InvalidUtf16>());
}

// The bytes in storage of exactly their size, so that a read past the end trips the sanitizer.
Units decode_exactly(std::string_view bytes) {
  const std::vector<char> storage(bytes.begin(), bytes.end());
  Utf8ToUtf16 converted(std::string_view(storage.data(), storage.size()));
  Units units;
  while (!converted.done()) {
    units += converted.next();
  }
  return units;
}

using LenientUtf8ToUtf16 = SimTest;

TEST_F(LenientUtf8ToUtf16, WellFormedTextOfEveryLength) {
  EXPECT_EQ(decode_exactly("A\u00E9\u20AC\U0001F600"), Units(u"A\u00E9\u20AC\xD83D\xDE00"));
  EXPECT_EQ(decode_exactly("\u07FF\u0800\uFFFF"), Units(u"\u07FF\u0800\uFFFF"));
  EXPECT_EQ(decode_exactly("\U0010FFFF"), Units(u"\xDBFF\xDFFF"));
  EXPECT_EQ(decode_exactly("\U00010000"), Units(u"\xD800\xDC00"));
}

struct IllFormed {
  const char* what;
  std::string bytes;
  Units units;
};

class LenientUtf8ToUtf16IllFormed : public SimTest,
                                    public ::testing::WithParamInterface<IllFormed> {};

TEST_P(LenientUtf8ToUtf16IllFormed, BecomesReplacementCharactersWithoutReadingPastTheEnd) {
  EXPECT_EQ(decode_exactly(GetParam().bytes), GetParam().units) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LenientUtf8ToUtf16IllFormed,
    ::testing::Values(IllFormed{"two-byte lead at the end", "a\xC3", u"a\uFFFD"},
                      IllFormed{"three-byte sequence cut after two", "\xE2\x82", u"\uFFFD"},
                      IllFormed{"four-byte sequence cut after three", "\xF0\x9F\x98", u"\uFFFD"},
                      IllFormed{"four-byte lead alone at the end", "ab\xF0", u"ab\uFFFD"},
                      IllFormed{"stray continuation bytes", "\x80x\xBF", u"\uFFFDx\uFFFD"},
                      IllFormed{"truncated sequence before ASCII", "\xE2\x82z", u"\uFFFDz"},
                      IllFormed{"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      IllFormed{"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"overlong four-byte", "\xF0\x8F\xBF\xBF",
                                u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      IllFormed{"lead byte beyond F4", "\xF5\x80", u"\uFFFD\uFFFD"},
                      IllFormed{"byte FF", "\xFF", u"\uFFFD"},
                      IllFormed{"just below E0's range", "\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace tembra
