// Where display texts are written: a sink that takes text piece by piece, and the one way to
// write into it, write_pieces.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "base/number_text.h"

namespace tembra {

// A sink refused a piece. What went wrong is known to the sink itself (for example the
// standard stream that failed keeps its write error); writers only stop and pass it on.
struct [[nodiscard]] SinkFailed {};
using SinkResult = std::expected<void, SinkFailed>;

class TextSink {
 public:
  [[nodiscard]] virtual SinkResult write_str(std::string_view text) = 0;

 protected:
  TextSink() = default;
  TextSink(const TextSink&) = default;
  TextSink& operator=(const TextSink&) = default;
  ~TextSink() = default;
};

// Collects everything written, for texts that are needed whole.
class StringSink final : public TextSink {
 public:
  [[nodiscard]] SinkResult write_str(std::string_view text) override;
  const std::string& text() const { return text_; }
  // The text collected; the sink is left empty.
  [[nodiscard]] std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// ---- Pieces ------------------------------------------------------------------------------------
// What write_pieces takes. A piece is one write: one call of write_str, which a sink on a stream
// writes as it comes, so how a text is split into pieces is part of the output. The pieces that
// make more calls than one say so:
// - text (anything that converts to std::string_view): one call;
// - an error, or anything else with write_display(TextSink&): its display text, in its own calls;
// - code that writes into the sink it is given, callable as SinkResult(TextSink&): its own calls;
// - the numbers and the quoted text below.

// A whole number in decimal without fill: one call, or two for a negative number, whose '-' goes
// first on its own (InOneWrite keeps it with the digits).
class Decimal {
 public:
  template <std::unsigned_integral Number>
  explicit Decimal(Number value) : text_(NumberText::decimal(std::uint64_t{value})) {}
  template <std::signed_integral Number>
  explicit Decimal(Number value) : text_(NumberText::decimal(std::int64_t{value})) {}

  std::string_view text() const { return text_.view(); }

 private:
  NumberText text_;
};

// A Decimal in one call, its sign included.
struct InOneWrite {
  Decimal number;
};

// An unsigned number in decimal, right-aligned in a field of at least `width` (at most
// kMostPaddedWidth) characters: the spaces on its left in one call, if any, then the digits.
struct PaddedDecimal {
  static constexpr std::size_t kMostPaddedWidth = 16;
  std::uint64_t value;
  std::size_t width;
};

// Lower-case hexadecimal digits without prefix or fill: one call.
struct Hex {
  std::uint64_t value;
};

// The text in double quotes, with quotes, backslashes and control characters escaped, as a
// diagnostic rendering shows text fields: each quote, run of plain text and escape in one call.
struct Quoted {
  std::string_view text;
};

namespace detail {

[[nodiscard]] inline SinkResult write_piece(TextSink& sink, std::string_view text) {
  return sink.write_str(text);
}
[[nodiscard]] SinkResult write_piece(TextSink& sink, const Decimal& number);
[[nodiscard]] inline SinkResult write_piece(TextSink& sink, const InOneWrite& whole) {
  return sink.write_str(whole.number.text());
}
[[nodiscard]] SinkResult write_piece(TextSink& sink, PaddedDecimal number);
[[nodiscard]] SinkResult write_piece(TextSink& sink, Hex number);
[[nodiscard]] SinkResult write_piece(TextSink& sink, Quoted quoted);

template <class Shown>
requires requires(const Shown& shown, TextSink& sink) {
  { shown.write_display(sink) } -> std::same_as<SinkResult>;
}
[[nodiscard]] SinkResult write_piece(TextSink& sink, const Shown& shown) {
  return shown.write_display(sink);
}

template <class Write>
requires std::is_invocable_r_v<SinkResult, const Write&, TextSink&>
[[nodiscard]] SinkResult write_piece(TextSink& sink, const Write& write) {
  return write(sink);
}

}  // namespace detail

// Writes each piece in order, stopping at the first refusal, which it hands back.
template <class... Pieces>
[[nodiscard]] SinkResult write_pieces(TextSink& sink, const Pieces&... pieces) {
  SinkResult result;
  (void)((result = detail::write_piece(sink, pieces), result.has_value()) && ...);
  return result;
}

// The text the pieces make, for where it is needed whole.
template <class... Pieces>
[[nodiscard]] std::string text_of(const Pieces&... pieces) {
  StringSink text;
  (void)write_pieces(text, pieces...);  // a StringSink takes everything
  return text.take();
}

}  // namespace tembra
