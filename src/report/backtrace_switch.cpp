#include "report/backtrace_switch.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "base/ascii_wide.h"
#include "base/utf.h"
#include "platform/win32.h"
#include "report/backtrace_switch_for_tests.h"

namespace tembra {

namespace {

constexpr std::uint8_t kUndecided = 0;
constexpr std::uint8_t kOff = 1;
constexpr std::uint8_t kOn = 2;

// One byte for the process, written once. Atomic, so that two first captures on different
// threads are no data race: both read the same environment and store the same value.
std::atomic<std::uint8_t> backtrace_switch{kUndecided};

constexpr auto kLibVariable = ascii_wide("RUST_LIB_BACKTRACE");
constexpr auto kVariable = ascii_wide("RUST_BACKTRACE");

constexpr DWORD kFirstBufferUnits = 64;

// The variable's value as UTF-8; none when it is absent or holds an unpaired surrogate.
[[nodiscard]] std::optional<std::string> read_variable(const WCHAR* name) {
  std::basic_string<WCHAR> buffer(kFirstBufferUnits, 0);
  for (;;) {
    SetLastError(0);
    const DWORD length =
        GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      // Zero is both the empty value and failure; only the last error tells them apart.
      if (GetLastError() != 0) {
        return std::nullopt;
      }
      return std::string();
    }
    if (length < buffer.size()) {
      auto text = utf16_to_utf8({buffer.data(), length});
      if (!text) {
        return std::nullopt;
      }
      return std::move(*text);
    }
    // Too small: the answer is the size needed, terminator included. The value may change
    // between the calls, so ask again with room for that.
    buffer.assign(length, 0);
  }
}

bool decide_from_environment() {
  std::optional<std::string> value = read_variable(kLibVariable.data());
  if (!value) {
    value = read_variable(kVariable.data());
  }
  return value && *value != "0";
}

}  // namespace

bool backtrace_wanted() {
  switch (backtrace_switch.load(std::memory_order_relaxed)) {
    case kOff:
      return false;
    case kOn:
      return true;
    default:
      break;
  }
  const bool on = decide_from_environment();
  backtrace_switch.store(on ? kOn : kOff, std::memory_order_relaxed);
  return on;
}

void reset_backtrace_switch_for_tests() {
  backtrace_switch.store(kUndecided, std::memory_order_relaxed);
}

}  // namespace tembra
