#pragma once

#include <string>
#include <string_view>

namespace tembra {

// The text without the Unicode White_Space characters at its end. Expects valid UTF-8.
std::string_view without_trailing_white_space(std::string_view text);

}  // namespace tembra
