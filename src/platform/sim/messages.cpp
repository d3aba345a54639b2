// The simulated message tables and module lookup.
#include <map>

#include "platform/sim/internal.h"

namespace sim {
namespace {

const HMODULE kNtdllModule = reinterpret_cast<HMODULE>(0x7FF00000);

struct Messages {
  std::map<DWORD, std::u16string> system;
  std::map<DWORD, std::u16string> ntdll;
  bool ntdll_loaded = true;
};

Messages& messages() {
  static Messages instance;
  return instance;
}

}  // namespace

void set_system_message(DWORD id, std::u16string message) {
  messages().system[id] = std::move(message);
}
void set_ntdll_loaded(bool loaded) {
  messages().ntdll_loaded = loaded;
}

namespace detail {

void reset_messages() {
  messages() = Messages{};
  auto& table = messages().system;
  table[ERROR_SUCCESS] = u"The operation completed successfully.\r\n";
  table[ERROR_ACCESS_DENIED] = u"Access is denied.\r\n";
  table[ERROR_INVALID_HANDLE] = u"The handle is invalid.\r\n";
  table[ERROR_DISK_FULL] = u"There is not enough space on the disk.\r\n";
  table[ERROR_INVALID_SERVICE_CONTROL] =
      u"The requested control is not valid for this service.\r\n";
  table[ERROR_SERVICE_DOES_NOT_EXIST] =
      u"The specified service does not exist as an installed service.\r\n";
  table[ERROR_SERVICE_NOT_ACTIVE] = u"The service has not been started.\r\n";
  table[ERROR_SERVICE_MARKED_FOR_DELETE] =
      u"The specified service has been marked for deletion.\r\n";
  messages().ntdll[0xC0000022] =
      u"{Access Denied}\r\nA process has requested access to an object, but has not been "
      u"granted those access rights.\r\n";
}

}  // namespace detail
}  // namespace sim

DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPWSTR lpBuffer, DWORD nSize, va_list* Arguments) {
  std::string call = "FormatMessageW(" + sim::detail::hex(dwFlags) + ", " +
                     (lpSource == sim::kNtdllModule ? "ntdll" : sim::detail::ptr(lpSource)) + ", " +
                     std::to_string(dwMessageId) + ", " + std::to_string(dwLanguageId) + ", " +
                     sim::detail::ptr(lpBuffer) + ", " + std::to_string(nSize) + ", " +
                     sim::detail::ptr(Arguments) + ")";
  auto fail = [&](DWORD code) {
    sim::detail::set_last_error(code);
    sim::detail::log_call(call + " = 0");
    return DWORD{0};
  };
  if (auto code = sim::detail::take_failure("FormatMessageW")) {
    return fail(*code);
  }
  const bool from_module = (dwFlags & FORMAT_MESSAGE_FROM_HMODULE) != 0;
  if (from_module && lpSource != sim::kNtdllModule) {
    return fail(ERROR_INVALID_HANDLE);
  }
  const auto& table = from_module ? sim::messages().ntdll : sim::messages().system;
  auto it = table.find(dwMessageId);
  if (it == table.end()) {
    return fail(ERROR_MR_MID_NOT_FOUND);
  }
  const std::u16string& message = it->second;
  if (lpBuffer == nullptr || message.size() + 1 > nSize) {
    return fail(ERROR_INSUFFICIENT_BUFFER);
  }
  message.copy(lpBuffer, message.size());
  lpBuffer[message.size()] = 0;
  sim::detail::log_call(call + " = " + std::to_string(message.size()));
  return static_cast<DWORD>(message.size());
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
  const std::string call = "GetModuleHandleW(" + sim::detail::wide(lpModuleName) + ")";
  constexpr DWORD kModNotFound = 126;
  const bool is_ntdll =
      lpModuleName != nullptr && std::u16string_view(lpModuleName) == u"NTDLL.DLL";
  if (auto code = sim::detail::take_failure("GetModuleHandleW");
      code || !is_ntdll || !sim::messages().ntdll_loaded) {
    sim::detail::set_last_error(code.value_or(kModNotFound));
    sim::detail::log_call(call + " = null");
    return nullptr;
  }
  sim::detail::log_call(call + " = ntdll");
  return sim::kNtdllModule;
}
