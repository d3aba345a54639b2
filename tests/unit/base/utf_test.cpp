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
  constexpr std::pair<unsigned char, std::size_t> kWidths[] = {
      {0x7F, 1}, {0x80, 0}, {0xC1, 0}, {0xC2, 2}, {0xEF, 3}, {0xF4, 4}, {0xF5, 0}};
  for (const auto& [byte, width] : kWidths) {
    EXPECT_EQ(utf8_sequence_width(byte), width) << int{byte};
  }
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

struct Decoded {
  const char* what;
  std::string bytes;
  Units units;
};

// Ill-formed bytes become replacement characters; no text is read past its end.
class LenientUtf8ToUtf16 : public SimTest, public ::testing::WithParamInterface<Decoded> {};

TEST_P(LenientUtf8ToUtf16, DecodesWithoutReadingPastTheEnd) {
  EXPECT_EQ(decode_exactly(GetParam().bytes), GetParam().units) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LenientUtf8ToUtf16,
    ::testing::Values(
        Decoded{"well-formed of each length", "A\u00E9\u20AC\U0001F600",
                u"A\u00E9\u20AC\xD83D\xDE00"},
        Decoded{"well-formed at the length limits", "\u07FF\u0800\uFFFF", u"\u07FF\u0800\uFFFF"},
        Decoded{"highest code point", "\U0010FFFF", u"\xDBFF\xDFFF"},
        Decoded{"lowest pair", "\U00010000", u"\xD800\xDC00"},
        Decoded{"two-byte lead at the end", "a\xC3", u"a\uFFFD"},
        Decoded{"three-byte sequence cut after two", "\xE2\x82", u"\uFFFD"},
        Decoded{"four-byte sequence cut after three", "\xF0\x9F\x98", u"\uFFFD"},
        Decoded{"four-byte lead alone at the end", "ab\xF0", u"ab\uFFFD"},
        Decoded{"stray continuation bytes", "\x80x\xBF", u"\uFFFDx\uFFFD"},
        Decoded{"truncated sequence before ASCII", "\xE2\x82z", u"\uFFFDz"},
        Decoded{"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
        Decoded{"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        Decoded{"overlong four-byte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Decoded{"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        Decoded{"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        Decoded{"lead byte beyond F4", "\xF5\x80", u"\uFFFD\uFFFD"},
        Decoded{"byte FF", "\xFF", u"\uFFFD"},
        Decoded{"just below E0's range", "\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace tembra
