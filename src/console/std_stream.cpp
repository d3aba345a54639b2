#include "console/std_stream.h"

#include "platform/win32.h"

namespace {

constexpr std::int32_t kInvalidHandleCode = ERROR_INVALID_HANDLE;

DWORD std_handle_id(StdStream stream) {
  return stream == StdStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

bool is_invalid_handle(const WriteError& error) {
  const OsError* os = error.os_error();
  return os != nullptr && os->code() == kInvalidHandleCode;
}

// The bytes go to the handle unchanged, in one call.
std::expected<std::size_t, WriteError> write_raw(HANDLE handle, std::string_view bytes) {
  IO_STATUS_BLOCK status_block;
  status_block.Status = kStatusPending;
  status_block.Information = 0;
  NTSTATUS status =
      NtWriteFile(handle, nullptr, nullptr, nullptr, &status_block, const_cast<char*>(bytes.data()),
                  static_cast<ULONG>(bytes.size()), nullptr, nullptr);
  if (status < 0) {
    return std::unexpected(
        WriteError(OsError(static_cast<std::int32_t>(RtlNtStatusToDosError(status)))));
  }
  return static_cast<std::size_t>(status_block.Information);
}

}  // namespace

std::string_view stream_name(StdStream stream) {
  return stream == StdStream::Out ? "stdout" : "stderr";
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
  return write_raw(handle, bytes);
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
