#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/sim/internal.h"

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

namespace {

// The simulator's own codecs: it checks the program's conversions, so it shares none of them.

// Bytes in the sequence a lead byte starts, 0 for a byte that starts none.
std::size_t lead_width(unsigned char b0) {
  if (b0 < 0x80) {
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    return 3;
  }
  return b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
}

void put_utf8(std::string& out, char32_t c) {
  const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  constexpr unsigned char kLeads[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLeads[tail] | (c >> (6 * tail)));
  for (int shift = 6 * (tail - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
  }
}

}  // namespace

std::string utf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      char escape[16];
      (void)std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
      continue;
    }
    put_utf8(out, c);
  }
  return out;
}

std::optional<std::u16string> utf16(std::string_view text) {
  std::u16string units;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    const std::size_t width = lead_width(b0);
    if (width == 0 || i + width > text.size()) {
      return std::nullopt;
    }
    char32_t c = width == 1 ? b0 : width == 2 ? b0 & 0x1F : width == 3 ? b0 & 0x0F : b0 & 0x07;
    for (std::size_t k = 1; k < width; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) {
        return std::nullopt;
      }
      c = (c << 6) | (b & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[width] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      return std::nullopt;
    }
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
    i += width;
  }
  return units;
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
