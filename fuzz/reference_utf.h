// Plain, obviously correct UTF-8 and UTF-16 codecs that the fuzz targets compare the program's
// conversions against. Slow and simple on purpose.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

// The program's decoder replaces each maximal ill-formed subpart with U+FFFD: a lead byte and
// those following bytes that could still continue a valid sequence, or a single byte.
inline std::u32string decode_utf8_replacing(std::string_view text) {
  std::u32string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char32_t>(lead);
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      out += U'\uFFFD';
      ++i;
      continue;
    }
    char32_t code_point = lead & (0x7F >> length);
    std::size_t taken = 1;
    for (; taken < length && i + taken < text.size(); ++taken) {
      const unsigned char next = static_cast<unsigned char>(text[i + taken]);
      const unsigned char min = taken == 1 ? low : 0x80;
      const unsigned char max = taken == 1 ? high : 0xBF;
      if (next < min || next > max) {
        break;
      }
      code_point = (code_point << 6) | (next & 0x3F);
    }
    out += taken == length ? code_point : U'\uFFFD';
    i += taken;
  }
  return out;
}

inline std::u16string encode_utf16(std::u32string_view code_points) {
  std::u16string out;
  for (const char32_t c : code_points) {
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// Strict: nullopt when any surrogate is not part of a high-low pair.
inline std::optional<std::u32string> decode_utf16(std::u16string_view units) {
  std::u32string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return std::nullopt;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
        return std::nullopt;
      }
      out += 0x10000 + ((static_cast<char32_t>(unit - 0xD800) << 10) | (units[i + 1] - 0xDC00));
      ++i;
    } else {
      out += unit;
    }
  }
  return out;
}

inline std::string encode_utf8(std::u32string_view code_points) {
  std::string out;
  for (const char32_t c : code_points) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Well-formed exactly when decoding and encoding again gives the same bytes: every ill-formed
// subpart turns into EF BF BD, which it never was.
inline bool is_valid_utf8(std::string_view text) {
  return encode_utf8(decode_utf8_replacing(text)) == text;
}

}  // namespace reference
