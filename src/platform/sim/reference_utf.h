// Plain, obviously correct UTF-8 and UTF-16 codecs for the test side: the simulator converts with
// them where the platform converts, and the fuzz targets compare the program's conversions with
// them. They share nothing with the program's own UTF module, which they check. Slow and simple
// on purpose.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

// One sequence of UTF-8 from `text[at]` on: the code point it stands for, or nullopt for a
// maximal ill-formed subpart (a lead byte and those following bytes that could still continue a
// valid sequence, or a single byte); `taken` is its length either way. `cut_short` says that
// the text ended inside a sequence that was well-formed so far.
struct DecodedSequence {
  std::optional<char32_t> code_point;
  std::size_t taken;
  bool cut_short = false;
};

// How many bytes the sequence a lead byte begins has; 0 for a byte that begins none.
inline std::size_t sequence_width(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  return 0;
}

inline DecodedSequence decode_utf8_sequence(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = sequence_width(lead);
  if (length == 1) {
    return {lead, 1, false};
  }
  if (length == 0) {
    return {std::nullopt, 1, false};
  }
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  char32_t code_point = lead & (0x7F >> length);
  std::size_t taken = 1;
  for (; taken < length && at + taken < text.size(); ++taken) {
    const unsigned char next = static_cast<unsigned char>(text[at + taken]);
    const unsigned char min = taken == 1 ? low : 0x80;
    const unsigned char max = taken == 1 ? high : 0xBF;
    if (next < min || next > max) {
      break;
    }
    code_point = (code_point << 6) | (next & 0x3F);
  }
  if (taken != length) {
    return {std::nullopt, taken, at + taken == text.size()};
  }
  return {code_point, taken, false};
}

// The program's decoder replaces each maximal ill-formed subpart with U+FFFD.
inline std::u32string decode_utf8_replacing(std::string_view text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const DecodedSequence sequence = decode_utf8_sequence(text, i);
    out += sequence.code_point.value_or(U'\uFFFD');
    i += sequence.taken;
  }
  return out;
}

// The length of the longest prefix of `text` made of whole, well-formed characters.
inline std::size_t well_formed_prefix_length(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const DecodedSequence sequence = decode_utf8_sequence(text, i);
    if (!sequence.code_point) {
      break;
    }
    i += sequence.taken;
  }
  return i;
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

inline bool is_high_surrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool is_low_surrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point of a high-low pair.
inline char32_t pair_code_point(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high - 0xD800) << 10) | (low - 0xDC00));
}

// Strict: nullopt when any surrogate is not part of a high-low pair.
inline std::optional<std::u32string> decode_utf16(std::u16string_view units) {
  std::u32string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (is_low_surrogate(unit)) {
      return std::nullopt;
    }
    if (is_high_surrogate(unit)) {
      if (i + 1 == units.size() || !is_low_surrogate(units[i + 1])) {
        return std::nullopt;
      }
      out += pair_code_point(unit, units[i + 1]);
      ++i;
    } else {
      out += unit;
    }
  }
  return out;
}

inline void append_utf8(std::string& out, char32_t c) {
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

inline std::string encode_utf8(std::u32string_view code_points) {
  std::string out;
  for (const char32_t c : code_points) {
    append_utf8(out, c);
  }
  return out;
}

// Well-formed exactly when decoding and encoding again gives the same bytes: every ill-formed
// subpart turns into EF BF BD, which it never was.
inline bool is_valid_utf8(std::string_view text) {
  return encode_utf8(decode_utf8_replacing(text)) == text;
}

// Strict UTF-8 to UTF-16: nullopt for text that is not well-formed.
inline std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
  if (!is_valid_utf8(text)) {
    return std::nullopt;
  }
  return encode_utf16(decode_utf8_replacing(text));
}

}  // namespace reference
