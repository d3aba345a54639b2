#include "base/utf16_to_utf8.h"

namespace tembra {

namespace {

bool is_high_surrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

void append_utf8(std::string& out, char32_t c) {
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

std::expected<std::string, InvalidUtf16> utf16_to_utf8(std::basic_string_view<WCHAR> units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = static_cast<char16_t>(units[i]);
    if (!is_high_surrogate(unit) && !is_low_surrogate(unit)) {
      append_utf8(out, unit);
      continue;
    }
    if (!is_high_surrogate(unit) || i + 1 == units.size()) {
      return std::unexpected(InvalidUtf16{});
    }
    const char32_t low = static_cast<char16_t>(units[i + 1]);
    if (!is_low_surrogate(low)) {
      return std::unexpected(InvalidUtf16{});
    }
    append_utf8(out, 0x10000 + ((unit & 0x3FF) << 10) + (low & 0x3FF));
    ++i;
  }
  return out;
}

}  // namespace tembra
