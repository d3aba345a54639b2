// Where display texts are written: a sink that takes text piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

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

// Decimal without sign for unsigned values, with a leading '-' for negative ones; no fill.
[[nodiscard]] SinkResult write_decimal(TextSink& sink, std::uint64_t value);
[[nodiscard]] SinkResult write_decimal(TextSink& sink, std::int64_t value);
// Unsigned decimal right-aligned in a field of at least `width` characters, spaces on the left.
[[nodiscard]] SinkResult write_decimal_padded(TextSink& sink, std::uint64_t value,
                                              std::size_t width);
// Lower-case hexadecimal digits without prefix or fill.
[[nodiscard]] SinkResult write_hex(TextSink& sink, std::uint64_t value);

// Collects everything written, for texts that are needed whole.
class StringSink final : public TextSink {
 public:
  [[nodiscard]] SinkResult write_str(std::string_view text) override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// The text in double quotes, with quotes, backslashes and control characters escaped, as a
// diagnostic rendering shows text fields.
[[nodiscard]] SinkResult write_quoted(TextSink& sink, std::string_view text);

}  // namespace tembra
