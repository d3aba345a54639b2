#include "base/os_error.h"

#include <array>
#include <optional>
#include <string_view>

#include "base/ascii_wide.h"
#include "base/utf.h"
#include "base/white_space.h"
#include "platform/win32.h"

namespace tembra {

namespace {

constexpr DWORD kFacilityNtBit = 0x10000000;
constexpr DWORD kMessageBufferUnits = 2048;
constexpr auto kNtdllName = ascii_wide("NTDLL.DLL");

// The text of a lookup that gave no message: `outcome` says what FormatMessageW gave instead,
// followed by the reason the platform gave, if any.
std::string failed_lookup_text(DWORD id, std::string_view outcome,
                               std::optional<std::int32_t> reason) {
  auto reason_code = [&](TextSink& out) {
    return reason ? write_pieces(out, Decimal{*reason}) : SinkResult();
  };
  return text_of("OS Error ", Decimal{static_cast<std::int32_t>(id)},
                 " (FormatMessageW() returned ", outcome, reason_code, ")");
}

}  // namespace

OsError OsError::last() {
  return OsError(static_cast<std::int32_t>(GetLastError()));
}

std::string os_error_message(std::int32_t code) {
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE module = nullptr;
  auto id = static_cast<DWORD>(code);
  // NT status codes carry this bit; their text lives in ntdll's own table.
  if ((id & kFacilityNtBit) != 0) {
    if (HMODULE ntdll = GetModuleHandleW(kNtdllName.data()); ntdll != nullptr) {
      id &= ~kFacilityNtBit;
      flags |= FORMAT_MESSAGE_FROM_HMODULE;
      module = ntdll;
    }
  }
  std::array<WCHAR, kMessageBufferUnits> buffer{};
  const DWORD length =
      FormatMessageW(flags, module, id, 0, buffer.data(), kMessageBufferUnits, nullptr);
  if (length == 0) {
    // Read first: building the text allocates, and an allocation may change the last error.
    const auto reason = static_cast<std::int32_t>(GetLastError());
    return failed_lookup_text(id, "error ", reason);
  }
  auto text = utf16_to_utf8(std::basic_string_view<WCHAR>(buffer.data(), length));
  if (!text) {
    return failed_lookup_text(id, "invalid UTF-16", std::nullopt);
  }
  text->resize(without_trailing_white_space(*text).size());
  return std::move(*text);
}

SinkResult OsError::write_display(TextSink& sink) const {
  const std::string message = os_error_message(code_);
  return write_pieces(sink, message, " (os error ", InOneWrite{Decimal{code_}}, ")");
}

SinkResult OsError::write_debug(TextSink& sink, bool alternate) const {
  const std::string message = os_error_message(code_);
  if (alternate) {
    return write_pieces(sink, "Os {\n    code: ", Decimal{code_},
                        ",\n    message: ", Quoted{message}, ",\n}");
  }
  return write_pieces(sink, "Os { code: ", Decimal{code_}, ", message: ", Quoted{message}, " }");
}

}  // namespace tembra
