// The simulated message tables, module lookup and DLL search.
#include <map>

#include "platform/sim/internal.h"

namespace sim {
namespace {

const HMODULE kNtdllModule = reinterpret_cast<HMODULE>(0x7FF00000);
const HMODULE kKernel32Module = reinterpret_cast<HMODULE>(0x7FE00000);

// Every system since Windows 8 has it; a test that wants an older one makes GetProcAddress fail.
BOOL WINAPI set_default_dll_directories(DWORD directory_flags) {
  sim::detail::log_call("SetDefaultDllDirectories(" + sim::detail::hex(directory_flags) + ") = 1");
  return TRUE;
}

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
  const std::u16string_view name = lpModuleName == nullptr ? u"" : lpModuleName;
  HMODULE module = nullptr;
  if (name == u"NTDLL.DLL" && sim::messages().ntdll_loaded) {
    module = sim::kNtdllModule;
  } else if (name == u"kernel32.dll") {
    module = sim::kKernel32Module;
  }
  if (auto code = sim::detail::take_failure("GetModuleHandleW"); code || module == nullptr) {
    sim::detail::set_last_error(code.value_or(kModNotFound));
    sim::detail::log_call(call + " = null");
    return nullptr;
  }
  sim::detail::log_call(call + (module == sim::kNtdllModule ? " = ntdll" : " = kernel32"));
  return module;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  const std::string call =
      std::string("GetProcAddress(") +
      (hModule == sim::kKernel32Module ? "kernel32" : sim::detail::ptr(hModule)) + ", \"" +
      lpProcName + "\")";
  FARPROC found = nullptr;
  if (auto code = sim::detail::take_failure("GetProcAddress"); code) {
    sim::detail::set_last_error(*code);
  } else if (hModule == sim::kKernel32Module &&
             std::string_view(lpProcName) == "SetDefaultDllDirectories") {
    // Through the generic function type, as the platform hands out every call.
    found =
        reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&sim::set_default_dll_directories));
  } else {
    sim::detail::set_last_error(ERROR_PROC_NOT_FOUND);
  }
  sim::detail::log_call(call + (found == nullptr ? " = null" : " = ptr"));
  return found;
}

BOOL SetDllDirectoryW(LPCWSTR lpPathName) {
  sim::detail::log_call("SetDllDirectoryW(" + sim::detail::wide(lpPathName) + ") = 1");
  return TRUE;
}
