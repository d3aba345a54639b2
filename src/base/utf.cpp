#include "base/utf.h"

#include <cassert>

namespace tembra {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The range the second byte of a sequence must fall in: narrower than a plain continuation
// byte after the start bytes that could otherwise begin overlong forms, surrogates or code
// points above U+10FFFF.
struct SecondByteRange {
  unsigned char low;
  unsigned char high;
};

SecondByteRange second_byte_range(unsigned char start) {
  switch (start) {
    case 0xE0:
      return {0xA0, 0xBF};
    case 0xED:
      return {0x80, 0x9F};
    case 0xF0:
      return {0x90, 0xBF};
    case 0xF4:
      return {0x80, 0x8F};
    default:
      return {0x80, 0xBF};
  }
}

char32_t pair_code_point(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t{high} & 0x3FF) << 10) + (char32_t{low} & 0x3FF);
}

// One sequence from the start of a text.
struct Utf8Sequence {
  char32_t code_point;  // U+FFFD when ill-formed
  std::size_t length;   // bytes taken, at least 1
  bool well_formed;
};

// Decodes the sequence at the start of `text` (not empty), never reading past its end. An
// ill-formed sequence takes its maximal subpart.
Utf8Sequence decode_utf8(std::string_view text) {
  assert(!text.empty());
  const auto start = static_cast<unsigned char>(text[0]);
  const std::size_t width = utf8_sequence_width(start);
  if (width <= 1) {
    return width == 1 ? Utf8Sequence{start, 1, true}
                      : Utf8Sequence{kReplacementCharacter, 1, false};
  }
  // The start byte holds 5, 4 or 3 bits of the code point for 2, 3 or 4 bytes.
  char32_t code_point = start & (0x7FU >> width);
  const SecondByteRange second = second_byte_range(start);
  for (std::size_t i = 1; i < width; ++i) {
    if (i == text.size()) {
      return {kReplacementCharacter, i, false};
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool fits =
        i == 1 ? byte >= second.low && byte <= second.high : is_utf8_continuation(byte);
    if (!fits) {
      return {kReplacementCharacter, i, false};
    }
    code_point = (code_point << 6) | (byte & 0x3FU);
  }
  return {code_point, width, true};
}

// The UTF-8 length of a code point (at most U+10FFFF).
std::size_t utf8_width(char32_t code_point) {
  assert(code_point <= 0x10FFFF);
  if (code_point < 0x80) {
    return 1;
  }
  if (code_point < 0x800) {
    return 2;
  }
  return code_point < 0x10000 ? 3 : 4;
}

// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void append_utf8(std::string& out, char32_t code_point) {
  assert(code_point <= 0x10FFFF && (code_point < 0xD800 || code_point > 0xDFFF));
  const std::size_t width = utf8_width(code_point);
  if (width == 1) {
    out += static_cast<char>(code_point);
    return;
  }
  // The start byte: as many high bits set as the sequence has bytes, then the top bits.
  static constexpr unsigned char kStartBits[kMaxUtf8SequenceBytes + 1] = {0, 0, 0xC0, 0xE0, 0xF0};
  std::size_t shift = 6 * (width - 1);
  out += static_cast<char>(kStartBits[width] | (code_point >> shift));
  while (shift != 0) {
    shift -= 6;
    out += static_cast<char>(0x80 | ((code_point >> shift) & 0x3F));
  }
}

}  // namespace

std::size_t utf8_sequence_width(unsigned char byte) {
  if (byte <= 0x7F) {
    return 1;
  }
  if (byte >= 0xC2 && byte <= 0xDF) {
    return 2;
  }
  if (byte >= 0xE0 && byte <= 0xEF) {
    return 3;
  }
  if (byte >= 0xF0 && byte <= 0xF4) {
    return 4;
  }
  return 0;
}

std::size_t valid_utf8_prefix(std::string_view bytes) {
  std::size_t valid = 0;
  while (valid < bytes.size()) {
    const Utf8Sequence sequence = decode_utf8(bytes.substr(valid));
    if (!sequence.well_formed) {
      return valid;
    }
    valid += sequence.length;
  }
  return valid;
}

std::size_t utf8_length(std::basic_string_view<WCHAR> units) {
  std::size_t bytes = 0;
  for (const char16_t unit : units) {
    bytes += is_low_surrogate(unit) ? 1 : utf8_width(unit);
  }
  return bytes;
}

std::expected<std::string, InvalidUtf16> utf16_to_utf8(std::basic_string_view<WCHAR> units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (!is_high_surrogate(unit) && !is_low_surrogate(unit)) {
      append_utf8(out, unit);
      continue;
    }
    if (!is_high_surrogate(unit) || i + 1 == units.size()) {
      return std::unexpected(InvalidUtf16{});
    }
    const char16_t low = units[i + 1];
    if (!is_low_surrogate(low)) {
      return std::unexpected(InvalidUtf16{});
    }
    append_utf8(out, pair_code_point(unit, low));
    ++i;
  }
  return out;
}

WCHAR Utf8ToUtf16::next() {
  assert(!done());
  if (low_waiting_) {
    low_waiting_ = false;
    return low_;
  }
  const Utf8Sequence sequence = decode_utf8(rest_);
  rest_.remove_prefix(sequence.length);
  if (sequence.code_point <= 0xFFFF) {
    return static_cast<WCHAR>(sequence.code_point);
  }
  const char32_t above_plane = sequence.code_point - 0x10000;
  low_ = static_cast<WCHAR>(0xDC00 + (above_plane & 0x3FF));
  low_waiting_ = true;
  return static_cast<WCHAR>(0xD800 + (above_plane >> 10));
}

}  // namespace tembra
