// Writing bytes to the process's standard handles.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "console/write_error.h"

enum class StdStream { Out, Err };

std::string_view stream_name(StdStream stream);  // "stdout" or "stderr"

// One write attempt: the number of bytes the handle took (0 for no bytes), or why not.
std::expected<std::size_t, WriteError> write_std_handle(StdStream stream, std::string_view bytes);

// Writes every byte, or fails. A missing handle (code 6) swallows the bytes silently.
std::expected<void, WriteError> write_whole(StdStream stream, std::string_view bytes);
