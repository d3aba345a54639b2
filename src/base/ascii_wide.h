// ASCII text as the platform's wide characters, made at compile time, for the names the program
// hands to wide-string calls: constexpr auto kName = ascii_wide("NTDLL.DLL");
#pragma once

#include <array>
#include <cstddef>

#include "platform/win32.h"

namespace tembra {

namespace detail {
// Never defined: a literal that reaches it is no constant expression, and the build stops.
void not_ascii();
}  // namespace detail

// The characters of the literal and its terminating zero.
template <std::size_t Size>
consteval std::array<WCHAR, Size> ascii_wide(const char (&text)[Size]) {
  std::array<WCHAR, Size> wide{};
  for (std::size_t i = 0; i < Size; ++i) {
    if (static_cast<unsigned char>(text[i]) > 0x7F) {
      detail::not_ascii();
    }
    wide[i] = static_cast<WCHAR>(text[i]);
  }
  return wide;
}

}  // namespace tembra
