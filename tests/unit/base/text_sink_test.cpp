// The pieces of a text and the calls each one makes on a sink, and the quoted form.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_sink.h"
#include "support/error_text.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;

using TextPieces = SimTest;

TEST_F(TextPieces, EachPieceGoesOutInTheCallsItNames) {
  EXPECT_THAT(calls_of("text", std::string("owned"), ""), ElementsAre("text", "owned", ""));
  // A negative number's sign on its own, as a formatter writes it.
  EXPECT_THAT(calls_of(Decimal{-2147483647 - 1}), ElementsAre("-", "2147483648"));
  EXPECT_THAT(calls_of(InOneWrite{Decimal{-5}}, InOneWrite{Decimal{5}}), ElementsAre("-5", "5"));
  EXPECT_THAT(calls_of(Decimal{std::numeric_limits<std::uint64_t>::max()}),
              ElementsAre("18446744073709551615"));
  EXPECT_THAT(calls_of(Decimal{0}), ElementsAre("0"));
  EXPECT_THAT(calls_of(PaddedDecimal{7, 5}, PaddedDecimal{12345, 5}, PaddedDecimal{123456, 5}),
              ElementsAre("    ", "7", "12345", "123456"));
  EXPECT_THAT(calls_of(Hex{0x1a2b}, Hex{0}), ElementsAre("1a2b", "0"));
  EXPECT_THAT(calls_of(Quoted{"a\nb"}), ElementsAre("\"", "a", "\\n", "b", "\""));
}

TEST_F(TextPieces, QuotedFormEscapesQuotesBackslashesAndControlCharacters) {
  struct Row {
    std::string_view text;
    std::string_view quoted;
  };
  for (const Row& row : {
           Row{"plain \u00E9 \U0001F600", "\"plain \u00E9 \U0001F600\""},
           Row{"\"\\", "\"\\\"\\\\\""},
           Row{"\n\r\t", "\"\\n\\r\\t\""},
           Row{std::string_view("\0\x01\x1F\x20\x7E\x7F\x80", 7), "\"\\x00\\x01\\x1f ~\\x7f\x80\""},
       }) {
    StringSink sink;
    ASSERT_THAT(write_pieces(sink, Quoted{row.text}), Succeeds());
    EXPECT_EQ(sink.text(), row.quoted) << ::testing::PrintToString(std::string(row.text));
  }
}

TEST_F(TextPieces, RefusedCallStopsThePiecesAndIsPassedOn) {
  refusing_each_write([](TextSink& sink) {
    return write_pieces(sink, "a", Quoted{"b\tc\"d"}, Decimal{-1}, PaddedDecimal{2, 3});
  });
}

}  // namespace
}  // namespace tembra
