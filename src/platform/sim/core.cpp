#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/sim/internal.h"
#include "platform/sim/reference_utf.h"

namespace sim {
namespace {

struct InjectedFailure {
  std::string function;
  DWORD code;
  int remaining;  // calls of `function` to let through before this one fails
};

struct Core {
  std::vector<std::string> calls;
  std::vector<InjectedFailure> failures;
  std::vector<HandleRecord> handles;
  std::unordered_map<const void*, std::size_t> owned;  // value -> index into handles
  std::unordered_map<const void*, std::string> unowned;
  std::vector<std::string> bad_closes;
  std::uintptr_t next_value = 0x1000;
  int next_number = 1;
};

Core& core() {
  static Core instance;
  return instance;
}

thread_local DWORD last_error = 0;

}  // namespace

void reset() {
  core() = Core{};
  last_error = 0;
  detail::reset_services();
  detail::reset_messages();
  detail::reset_streams();
  detail::reset_environment();
  detail::reset_timers();
  detail::reset_heap();
  detail::reset_stack();
}

const std::vector<std::string>& calls() {
  return core().calls;
}

std::string_view call_name(std::string_view line) {
  return line.substr(0, line.find('('));
}

std::vector<std::string> calls_to(std::initializer_list<std::string_view> names) {
  std::vector<std::string> selected;
  for (const auto& line : core().calls) {
    if (std::find(names.begin(), names.end(), call_name(line)) != names.end()) {
      selected.push_back(line);
    }
  }
  return selected;
}

void fail_next(std::string_view function, DWORD code, int occurrence) {
  core().failures.push_back({std::string(function), code, occurrence - 1});
}

const std::vector<HandleRecord>& handles() {
  return core().handles;
}
const std::vector<std::string>& bad_closes() {
  return core().bad_closes;
}

namespace detail {

void log_call(std::string line) {
  core().calls.push_back(std::move(line));
}

std::optional<DWORD> take_failure(std::string_view function) {
  auto& failures = core().failures;
  for (auto it = failures.begin(); it != failures.end(); ++it) {
    if (it->function != function) {
      continue;
    }
    if (it->remaining > 0) {
      --it->remaining;
      continue;
    }
    DWORD code = it->code;
    failures.erase(it);
    return code;
  }
  return std::nullopt;
}

void set_last_error(DWORD code) {
  last_error = code;
}

void leave_last_error_behind() {
  last_error = kLeftoverLastError;
}

namespace {
void* next_handle_value() {
  void* value = reinterpret_cast<void*>(core().next_value);
  core().next_value += 4;
  return value;
}
}  // namespace

void* new_handle(std::string_view kind) {
  void* value = next_handle_value();
  core().owned[value] = core().handles.size();
  core().handles.push_back({std::string(kind) + "#" + std::to_string(core().next_number++), 0});
  return value;
}

void* new_unowned_handle(std::string_view kind) {
  void* value = next_handle_value();
  core().unowned[value] = std::string(kind) + "#" + std::to_string(core().next_number++);
  return value;
}

std::string label(const void* handle) {
  if (handle == nullptr) {
    return "null";
  }
  if (auto it = core().owned.find(handle); it != core().owned.end()) {
    return core().handles[it->second].label;
  }
  if (auto it = core().unowned.find(handle); it != core().unowned.end()) {
    return it->second;
  }
  char text[32];
  (void)std::snprintf(text, sizeof text, "?%p", handle);
  return text;
}

bool is_open(const void* handle) {
  auto it = core().owned.find(handle);
  return it != core().owned.end() && core().handles[it->second].close_count == 0;
}

bool close_handle(const void* handle) {
  auto it = core().owned.find(handle);
  if (it == core().owned.end()) {
    core().bad_closes.push_back(label(handle));
    return false;
  }
  HandleRecord& record = core().handles[it->second];
  if (++record.close_count > 1) {
    core().bad_closes.push_back(record.label);
    return false;
  }
  on_handle_closed(handle);
  return true;
}

std::string hex(DWORD value) {
  char text[16];
  (void)std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// The simulator converts as the platform does, with the test side's reference codec: it checks
// the program's conversions, so it shares none of them.

std::string utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (reference::is_high_surrogate(unit) && i + 1 < text.size() &&
        reference::is_low_surrogate(text[i + 1])) {
      reference::append_utf8(out, reference::pair_code_point(unit, text[i + 1]));
      ++i;
    } else if (reference::is_high_surrogate(unit) || reference::is_low_surrogate(unit)) {
      char escape[16];
      (void)std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
      out += escape;
    } else {
      reference::append_utf8(out, unit);
    }
  }
  return out;
}

std::optional<std::u16string> utf16(std::string_view text) {
  return reference::utf8_to_utf16(text);
}

std::string wide(LPCWSTR text) {
  if (text == nullptr) {
    return "null";
  }
  return "u\"" + utf8(std::u16string_view(text)) + "\"";
}

std::string ptr(const void* p) {
  return p == nullptr ? "null" : "ptr";
}

}  // namespace detail
}  // namespace sim

// The per-thread last-error code, as the platform keeps it.
DWORD GetLastError() {
  const DWORD code = sim::last_error;
  sim::detail::log_call("GetLastError() = " + std::to_string(code));
  return code;
}

void SetLastError(DWORD dwErrCode) {
  sim::last_error = dwErrCode;
  sim::detail::log_call("SetLastError(" + std::to_string(dwErrCode) + ")");
}
