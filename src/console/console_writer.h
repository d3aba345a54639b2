// Writing UTF-8 text to a console, which takes UTF-16.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "console/pending_utf8.h"
#include "console/write_error.h"
#include "platform/win32.h"

namespace tembra {

// Most bytes converted per write, and the size of the fixed UTF-16 buffer they become.
inline constexpr std::size_t kConsoleChunkBytes = 4096;
inline constexpr std::size_t kConsoleChunkUnits = 4096;

// One write attempt of arbitrary bytes (not none) on the console path. A character cut off at
// the end of `bytes` is kept in `pending` one byte at a time until it is whole.
[[nodiscard]] std::expected<std::size_t, WriteError> write_console(HANDLE console,
                                                                   PendingUtf8& pending,
                                                                   std::string_view bytes);

}  // namespace tembra
