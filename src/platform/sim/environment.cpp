// The simulated process environment.
#include <map>

#include "platform/sim/internal.h"

namespace sim {
namespace {

std::map<std::u16string, std::u16string, std::less<>>& environment() {
  static std::map<std::u16string, std::u16string, std::less<>> variables;
  return variables;
}

}  // namespace

void set_environment_variable(std::u16string_view name, std::u16string value) {
  environment().insert_or_assign(std::u16string(name), std::move(value));
}

namespace detail {

void reset_environment() {
  environment().clear();
}

}  // namespace detail
}  // namespace sim

// As documented: the length without terminator when the value fits, the size needed with
// terminator when it does not, 0 with ERROR_ENVVAR_NOT_FOUND when the variable is absent. An
// empty value gives 0 and leaves the last error alone.
DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
  std::string call = "GetEnvironmentVariableW(" + sim::detail::wide(lpName) + ", " +
                     sim::detail::ptr(lpBuffer) + ", " + std::to_string(nSize) + ") = ";
  DWORD result = 0;
  if (auto code = sim::detail::take_failure("GetEnvironmentVariableW")) {
    sim::detail::set_last_error(*code);
  } else if (auto it = sim::environment().find(std::u16string_view(lpName));
             it == sim::environment().end()) {
    sim::detail::set_last_error(ERROR_ENVVAR_NOT_FOUND);
  } else if (const std::u16string& value = it->second; value.size() < nSize) {
    value.copy(lpBuffer, value.size());
    lpBuffer[value.size()] = 0;
    result = static_cast<DWORD>(value.size());
  } else {
    result = static_cast<DWORD>(value.size() + 1);
  }
  sim::detail::log_call(std::move(call) + std::to_string(result));
  return result;
}
