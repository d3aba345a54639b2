#include "base/utf8_sequence.h"

namespace tembra {

namespace {

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
    const auto start = static_cast<unsigned char>(bytes[valid]);
    const std::size_t width = utf8_sequence_width(start);
    if (width == 0 || width > bytes.size() - valid) {
      return valid;
    }
    if (width > 1) {
      const SecondByteRange range = second_byte_range(start);
      const auto second = static_cast<unsigned char>(bytes[valid + 1]);
      if (second < range.low || second > range.high) {
        return valid;
      }
      for (std::size_t i = 2; i < width; ++i) {
        if (!is_utf8_continuation(static_cast<unsigned char>(bytes[valid + i]))) {
          return valid;
        }
      }
    }
    valid += width;
  }
  return valid;
}

}  // namespace tembra
