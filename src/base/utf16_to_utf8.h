#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

// A surrogate that is not part of a high-low pair.
struct [[nodiscard]] InvalidUtf16 {};

// Strict conversion: any unpaired surrogate fails the whole text.
[[nodiscard]] std::expected<std::string, InvalidUtf16> utf16_to_utf8(
    std::basic_string_view<WCHAR> units);

// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace tembra
