// Writing bytes to the process's standard handles.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "console/pending_utf8.h"
#include "console/stream_lock.h"
#include "console/write_error.h"

namespace tembra {

enum class StdStream { Out, Err };

std::string_view stream_name(StdStream stream);  // "stdout" or "stderr"

// What a stream keeps between writes. The pending bytes are touched only under the lock.
struct StreamState {
  StreamLock lock;
  PendingUtf8 pending;
};
StreamState& stream_state(StdStream stream);

// One write attempt: the number of bytes the handle took (0 for no bytes), or why not; never
// more than `bytes` holds. The handle is looked up anew each time, and so is whether it is a
// console.
[[nodiscard]] std::expected<std::size_t, WriteError> write_std_handle(StdStream stream,
                                                                      std::string_view bytes);

// Writes every byte, or fails. A missing handle (code 6) swallows the bytes silently.
[[nodiscard]] std::expected<void, WriteError> write_whole(StdStream stream, std::string_view bytes);

// Code 6, ERROR_INVALID_HANDLE: what a missing or closed standard handle answers.
bool is_invalid_handle(const WriteError& error);

}  // namespace tembra
