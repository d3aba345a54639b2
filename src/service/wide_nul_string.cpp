#include "service/wide_nul_string.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "console/fatal.h"

namespace tembra {

namespace {

// The platform's allocations stop short of 2 GiB.
constexpr std::size_t kMaxBufferBytes = 0x7FFFFFFE;
constexpr char32_t kReplacementCharacter = 0xFFFD;

struct DecodedCharacter {
  char32_t code_point;
  std::size_t length;  // bytes consumed
};

bool in_range(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Decodes the character at the start of `text` (not empty). Well-formed input decodes as its
// lead byte says; anything else yields U+FFFD for the longest valid-looking prefix.
DecodedCharacter decode_character(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80) {
    return {lead, 1};
  }
  std::size_t length = 0;
  char32_t code_point = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (in_range(lead, 0xC2, 0xDF)) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (in_range(lead, 0xE0, 0xEF)) {
    length = 3;
    code_point = lead & 0x0F;
    second_low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    second_high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (in_range(lead, 0xF0, 0xF4)) {
    length = 4;
    code_point = lead & 0x07;
    second_low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
    second_high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return {kReplacementCharacter, 1};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i == text.size()) {
      return {kReplacementCharacter, i};
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool fits = i == 1 ? in_range(byte, second_low, second_high) : in_range(byte, 0x80, 0xBF);
    if (!fits) {
      return {kReplacementCharacter, i};
    }
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  return {code_point, length};
}

struct Utf16Units {
  WCHAR first;
  WCHAR second;
  bool has_second;
};

Utf16Units encode_utf16(char32_t code_point) {
  if (code_point <= 0xFFFF) {
    return {static_cast<WCHAR>(code_point), 0, false};
  }
  const char32_t v = code_point - 0x10000;
  return {static_cast<WCHAR>(0xD800 + (v >> 10)), static_cast<WCHAR>(0xDC00 + (v & 0x3FF)), true};
}

// A lower bound of the units still to come: every character takes at most four bytes and
// yields at least one unit.
std::size_t units_ahead(std::size_t bytes_left, bool unit_waiting) {
  return (bytes_left + 3) / 4 + (unit_waiting ? 1 : 0);
}

}  // namespace

Utf16Buffer::Utf16Buffer(Utf16Buffer&& other) noexcept
    : units_(std::exchange(other.units_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

Utf16Buffer& Utf16Buffer::operator=(Utf16Buffer&& other) noexcept {
  if (this != &other) {
    std::free(units_);
    units_ = std::exchange(other.units_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

Utf16Buffer::~Utf16Buffer() {
  std::free(units_);
}

void Utf16Buffer::reallocate(std::size_t capacity) {
  capacity = std::max(capacity, length_);
  if (capacity > kMaxBufferBytes / sizeof(WCHAR)) {
    fatal_capacity_overflow();
  }
  const std::size_t bytes = capacity * sizeof(WCHAR);
  void* grown = std::realloc(units_, bytes);
  if (grown == nullptr) {
    fatal_allocation_failure(bytes);
  }
  units_ = static_cast<WCHAR*>(grown);
  capacity_ = capacity;
}

WCHAR* Utf16Buffer::release() {
  length_ = 0;
  capacity_ = 0;
  return std::exchange(units_, nullptr);
}

Utf16Buffer utf8_to_utf16(std::string_view text) {
  Utf16Buffer buffer;
  if (text.empty()) {
    return buffer;
  }
  DecodedCharacter decoded = decode_character(text);
  text.remove_prefix(decoded.length);
  Utf16Units units = encode_utf16(decoded.code_point);
  buffer.reallocate(std::max<std::size_t>(4, units_ahead(text.size(), units.has_second) + 1));
  buffer.push_within_capacity(units.first);
  bool unit_waiting = units.has_second;
  for (;;) {
    WCHAR unit;
    if (unit_waiting) {
      unit = units.second;
      unit_waiting = false;
    } else if (!text.empty()) {
      decoded = decode_character(text);
      text.remove_prefix(decoded.length);
      units = encode_utf16(decoded.code_point);
      unit = units.first;
      unit_waiting = units.has_second;
    } else {
      break;
    }
    if (buffer.length() == buffer.capacity()) {
      const std::size_t wanted = buffer.length() + units_ahead(text.size(), unit_waiting) + 1;
      buffer.reallocate(std::max({buffer.capacity() * 2, wanted, std::size_t{4}}));
    }
    buffer.push_within_capacity(unit);
  }
  return buffer;
}

std::expected<WideNulString, InteriorNul> WideNulString::from_utf8(std::string_view text) {
  Utf16Buffer buffer = utf8_to_utf16(text);
  const auto units = buffer.view();
  const std::size_t first_nul = units.find(WCHAR{0});
  if (first_nul != std::basic_string_view<WCHAR>::npos && first_nul + 1 != units.size()) {
    return std::unexpected(InteriorNul{});
  }
  if (first_nul == std::basic_string_view<WCHAR>::npos) {
    if (buffer.length() == buffer.capacity()) {
      buffer.reallocate(std::max<std::size_t>(buffer.capacity() * 2, 4));
    }
    buffer.push_within_capacity(0);
  }
  if (buffer.capacity() > buffer.length()) {
    buffer.reallocate(buffer.length());
  }
  const std::size_t size = buffer.length();
  return WideNulString(buffer.release(), size);
}

WideNulString::WideNulString(WideNulString&& other) noexcept
    : units_(std::exchange(other.units_, nullptr)), size_(std::exchange(other.size_, 0)) {}

WideNulString& WideNulString::operator=(WideNulString&& other) noexcept {
  if (this != &other) {
    release();
    units_ = std::exchange(other.units_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

WideNulString::~WideNulString() {
  release();
}

void WideNulString::release() {
  if (units_ == nullptr) {
    return;
  }
  // Whoever still holds the pointer sees an empty string rather than stale text.
  units_[0] = 0;
  std::free(units_);
  units_ = nullptr;
  size_ = 0;
}

}  // namespace tembra
