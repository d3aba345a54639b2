#include "console/std_stream.h"

#include "console/console_writer.h"
#include "console/credible_count.h"
#include "platform/win32.h"

namespace tembra {

namespace {

constexpr std::int32_t kInvalidHandleCode = ERROR_INVALID_HANDLE;
constexpr UINT kUtf8CodePage = 65001;

DWORD std_handle_id(StdStream stream) {
  return stream == StdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

// One NtWriteFile of all the bytes; the status block says what happened.
[[nodiscard]] NTSTATUS start_write(HANDLE handle, std::string_view bytes,
                                   IO_STATUS_BLOCK& status_block) {
  status_block.Status = kStatusPending;
  status_block.Information = 0;
  return NtWriteFile(handle, nullptr, nullptr, nullptr, &status_block,
                     const_cast<char*>(bytes.data()), static_cast<ULONG>(bytes.size()), nullptr,
                     nullptr);
}

// A write that is still pending after the wait leaves nothing sensible to do: the program's
// buffers may be in use by the platform. One attempt to say so, then the end.
[[noreturn]] void abort_unfinished_write() {
  constexpr std::string_view kMessage =
      "fatal runtime error: I/O error: operation failed to complete synchronously, aborting\n";
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    IO_STATUS_BLOCK status_block;
    (void)start_write(err, kMessage, status_block);
  }
  raise_fast_fail(FAST_FAIL_FATAL_APP_EXIT);
}

// The bytes go to the handle unchanged and unchecked, in one call.
[[nodiscard]] std::expected<std::size_t, WriteError> write_raw(HANDLE handle,
                                                               std::string_view bytes) {
  IO_STATUS_BLOCK status_block;
  NTSTATUS status = start_write(handle, bytes, status_block);
  if (status == kStatusPending) {
    (void)WaitForSingleObject(handle, INFINITE);
    status = status_block.Status;
    if (status == kStatusPending) {
      abort_unfinished_write();
    }
  }
  if (status < 0) {
    return std::unexpected(
        WriteError(OsError(static_cast<std::int32_t>(RtlNtStatusToDosError(status)))));
  }
  return static_cast<std::size_t>(status_block.Information);
}

// A console whose output code page is UTF-8 takes the bytes as a file would.
bool needs_utf16(HANDLE handle) {
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) {
    return false;
  }
  return GetConsoleOutputCP() != kUtf8CodePage;
}

}  // namespace

std::string_view stream_name(StdStream stream) {
  return stream == StdStream::Out ? "stdout" : "stderr";
}

StreamState& stream_state(StdStream stream) {
  static StreamState out;
  static StreamState err;
  return stream == StdStream::Out ? out : err;
}

bool is_invalid_handle(const WriteError& error) {
  const OsError* os = error.os_error();
  return os != nullptr && os->code() == kInvalidHandleCode;
}

std::expected<std::size_t, WriteError> write_std_handle(StdStream stream, std::string_view bytes) {
  if (bytes.empty()) {
    return 0;
  }
  HANDLE handle = GetStdHandle(std_handle_id(stream));
  if (handle == nullptr) {
    return std::unexpected(WriteError(OsError(kInvalidHandleCode)));
  }
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(WriteError(OsError::last()));
  }
  auto count = needs_utf16(handle) ? write_console(handle, stream_state(stream).pending, bytes)
                                   : write_raw(handle, bytes);
  if (!count) {
    return count;
  }
  return credible_count(*count, bytes.size());
}

std::expected<void, WriteError> write_whole(StdStream stream, std::string_view bytes) {
  while (!bytes.empty()) {
    auto written = write_std_handle(stream, bytes);
    if (!written) {
      if (is_invalid_handle(written.error())) {
        return {};
      }
      return std::unexpected(written.error());
    }
    if (*written == 0) {
      return std::unexpected(WriteError(WriteFailure::WholeBufferNotWritten));
    }
    bytes.remove_prefix(*written);
  }
  return {};
}

}  // namespace tembra
