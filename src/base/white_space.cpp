#include "base/white_space.h"

#include <array>
#include <cassert>

#include "base/utf.h"

namespace tembra {

namespace {

// The White_Space characters beyond ASCII, as UTF-8.
constexpr std::array<std::string_view, 19> kWideWhiteSpace = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003",
    "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A",
    "\u2028", "\u2029", "\u202F", "\u205F", "\u3000",
};

bool is_ascii_white_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::string_view without_trailing_white_space(std::string_view text) {
  assert(valid_utf8_prefix(text) == text.size());
  for (;;) {
    if (!text.empty() && is_ascii_white_space(text.back())) {
      text.remove_suffix(1);
      continue;
    }
    bool removed = false;
    for (const std::string_view space : kWideWhiteSpace) {
      if (text.ends_with(space)) {
        text.remove_suffix(space.size());
        removed = true;
        break;
      }
    }
    if (!removed) {
      return text;
    }
  }
}

}  // namespace tembra
