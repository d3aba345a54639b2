// UTF-8 and UTF-16: their sequences, the surrogates, and the conversions between them.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

// The longest UTF-8 sequence, in bytes.
inline constexpr std::size_t kMaxUtf8SequenceBytes = 4;

// The length of the sequence a start byte begins; 0 for a byte that begins none.
[[nodiscard]] std::size_t utf8_sequence_width(unsigned char byte);

[[nodiscard]] inline bool is_utf8_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the longest prefix of `bytes` that is well-formed UTF-8.
[[nodiscard]] std::size_t valid_utf8_prefix(std::string_view bytes);

[[nodiscard]] inline bool is_high_surrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
[[nodiscard]] inline bool is_low_surrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The UTF-8 length of what the units stand for. A high surrogate counts 3 and its low
// surrogate 1, so a whole pair counts 4.
[[nodiscard]] std::size_t utf8_length(std::basic_string_view<WCHAR> units);

// A surrogate that is not part of a high-low pair.
struct [[nodiscard]] InvalidUtf16 {};

// Strict conversion: any unpaired surrogate fails the whole text.
[[nodiscard]] std::expected<std::string, InvalidUtf16> utf16_to_utf8(
    std::basic_string_view<WCHAR> units);

// Lenient conversion, one UTF-16 unit at a time, so that the caller grows its own storage as it
// sees fit. Each ill-formed sequence becomes U+FFFD: its maximal subpart, the longest start of a
// well-formed sequence it begins with, or else one byte. Never reads past the text.
class Utf8ToUtf16 {
 public:
  explicit Utf8ToUtf16(std::string_view text) : rest_(text) {}

  [[nodiscard]] bool done() const { return rest_.empty() && !low_waiting_; }
  // The next unit; only while not done.
  [[nodiscard]] WCHAR next();
  // A lower bound of the units still to come: every character takes at most four bytes and
  // gives at least one unit.
  [[nodiscard]] std::size_t units_ahead() const {
    return (rest_.size() + 3) / 4 + (low_waiting_ ? 1 : 0);
  }

 private:
  std::string_view rest_;
  WCHAR low_ = 0;  // the second half of a pair, when one is waiting
  bool low_waiting_ = false;
};

}  // namespace tembra
