#include "console/console_writer.h"

#include <cassert>

#include "base/utf.h"
#include "console/credible_count.h"

namespace tembra {

namespace {

WriteError invalid_data() {
  return WriteError(WriteFailure::NonUtf8OnConsole);
}

// One write of well-formed UTF-8, at least one byte and at most kConsoleChunkBytes, so that it
// fits the fixed buffer: the number of bytes the console took.
[[nodiscard]] std::expected<std::size_t, WriteError> write_console_text(HANDLE console,
                                                                        std::string_view text) {
  assert(!text.empty() && text.size() <= kConsoleChunkBytes &&
         valid_utf8_prefix(text) == text.size());
  WCHAR units[kConsoleChunkUnits];
  const int converted =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          units, static_cast<int>(kConsoleChunkUnits));
  if (converted == 0) {
    return std::unexpected(WriteError(OsError::last()));
  }
  const auto count = static_cast<DWORD>(converted);
  DWORD reported = 0;
  if (!WriteConsoleW(console, units, count, &reported, nullptr)) {
    return std::unexpected(WriteError(OsError::last()));
  }
  std::size_t written = credible_count(reported, count);
  if (written == count) {
    return text.size();
  }
  if (is_low_surrogate(units[written])) {
    // Half a pair went out; the other half follows at once, whatever the console answers,
    // because the next write could not supply it.
    DWORD ignored = 0;
    (void)WriteConsoleW(console, units + written, 1, &ignored, nullptr);
    ++written;
  }
  return utf8_length({units, written});
}

// Continues a character whose first bytes came in earlier writes.
[[nodiscard]] std::expected<std::size_t, WriteError> continue_pending(HANDLE console,
                                                                      PendingUtf8& pending,
                                                                      unsigned char next) {
  if (!is_utf8_continuation(next)) {
    pending.clear();
    return std::unexpected(invalid_data());
  }
  pending.push(next);
  if (pending.count < utf8_sequence_width(pending.bytes[0])) {
    return 1;
  }
  const std::string_view character = pending.stored();
  pending.clear();
  if (valid_utf8_prefix(character) != character.size()) {
    return std::unexpected(invalid_data());
  }
  // The storage was cleared, not overwritten, so `character` still reads the stored bytes.
  if (auto written = write_console_text(console, character); !written) {
    return std::unexpected(written.error());
  }
  return 1;
}

}  // namespace

std::expected<std::size_t, WriteError> write_console(HANDLE console, PendingUtf8& pending,
                                                     std::string_view bytes) {
  assert(!bytes.empty());
  if (!pending.empty()) {
    return continue_pending(console, pending, static_cast<unsigned char>(bytes[0]));
  }
  const std::string_view chunk = bytes.substr(0, kConsoleChunkBytes);
  const std::size_t valid = valid_utf8_prefix(chunk);
  if (valid != 0) {
    return write_console_text(console, chunk.substr(0, valid));
  }
  const auto first = static_cast<unsigned char>(bytes[0]);
  const std::size_t width = utf8_sequence_width(first);
  if (width >= 2 && width > bytes.size()) {
    pending.push(first);
    return 1;
  }
  return std::unexpected(invalid_data());
}

}  // namespace tembra
