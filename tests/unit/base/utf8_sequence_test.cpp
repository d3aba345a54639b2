#include <gtest/gtest.h>

#include "base/utf8_sequence.h"
#include "support/sim_fixture.h"

using ConsoleUtf8 = SimTest;

TEST_F(ConsoleUtf8, ValidPrefixStopsAtTheFirstIllFormedSequence) {
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

TEST_F(ConsoleUtf8, SequenceWidthOfStartBytes) {
  EXPECT_EQ(utf8_sequence_width(0x7F), 1u);
  EXPECT_EQ(utf8_sequence_width(0x80), 0u);
  EXPECT_EQ(utf8_sequence_width(0xC1), 0u);
  EXPECT_EQ(utf8_sequence_width(0xC2), 2u);
  EXPECT_EQ(utf8_sequence_width(0xEF), 3u);
  EXPECT_EQ(utf8_sequence_width(0xF4), 4u);
  EXPECT_EQ(utf8_sequence_width(0xF5), 0u);
}
