// What every error kind of the program offers: a display text, a cause, a diagnostic form.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "base/text_sink.h"

namespace tembra {

class ErrorObject {
 public:
  // The one-line text shown to people; written piece by piece into the sink.
  [[nodiscard]] virtual SinkResult write_display(TextSink& sink) const = 0;
  // The error underneath this one, or null. Valid for as long as this error lives.
  virtual const ErrorObject* cause() const = 0;
  // The kind and its payload, for programmers; `alternate` puts each field on its own line.
  [[nodiscard]] virtual SinkResult write_debug(TextSink& sink, bool alternate) const = 0;

 protected:
  ErrorObject() = default;
  ErrorObject(const ErrorObject&) = default;
  ErrorObject& operator=(const ErrorObject&) = default;
  ~ErrorObject() = default;
};

// Numbers as pieces of a text, in decimal without fill.
struct UnsignedDecimal {
  std::uint64_t value;
};
struct SignedDecimal {
  std::int64_t value;
};
// Lower-case hexadecimal without prefix.
struct Hex {
  std::uint64_t value;
};

[[nodiscard]] inline SinkResult write_piece(TextSink& sink, std::string_view text) {
  return sink.write_str(text);
}
[[nodiscard]] inline SinkResult write_piece(TextSink& sink, const ErrorObject& error) {
  return error.write_display(sink);
}
[[nodiscard]] inline SinkResult write_piece(TextSink& sink, UnsignedDecimal number) {
  return write_decimal(sink, number.value);
}
[[nodiscard]] inline SinkResult write_piece(TextSink& sink, SignedDecimal number) {
  return write_decimal(sink, number.value);
}
[[nodiscard]] inline SinkResult write_piece(TextSink& sink, Hex number) {
  return write_hex(sink, number.value);
}
// Any code that writes into the sink itself.
template <class F>
requires std::is_invocable_r_v<SinkResult, const F&, TextSink&>
[[nodiscard]] SinkResult write_piece(TextSink& sink, const F& write) {
  return write(sink);
}

// Writes each piece in order, stopping at the first refusal: text, an error (its display
// text), a number, or code that writes into the sink.
template <class... Pieces>
[[nodiscard]] SinkResult write_pieces(TextSink& sink, const Pieces&... pieces) {
  SinkResult result;
  (void)((result = write_piece(sink, pieces), result.has_value()) && ...);
  return result;
}

}  // namespace tembra
