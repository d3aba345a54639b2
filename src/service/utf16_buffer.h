// A growable run of UTF-16 code units, and UTF-8 text converted into one.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

// The sole owner of its storage. Empty owns none.
class [[nodiscard]] Utf16Buffer {
 public:
  Utf16Buffer() = default;
  Utf16Buffer(Utf16Buffer&& other) noexcept;
  Utf16Buffer& operator=(Utf16Buffer&& other) noexcept;
  Utf16Buffer(const Utf16Buffer&) = delete;
  Utf16Buffer& operator=(const Utf16Buffer&) = delete;
  ~Utf16Buffer();

  std::size_t length() const { return length_; }
  std::size_t capacity() const { return capacity_; }
  const WCHAR* data() const { return units_; }
  std::basic_string_view<WCHAR> view() const { return {units_, length_}; }

  // Grows the storage to exactly `capacity` units (never below the length). Ends the process
  // when the platform cannot give them.
  void reallocate(std::size_t capacity);
  // Appends a unit; the storage must have room.
  void push_within_capacity(WCHAR unit) { units_[length_++] = unit; }
  // Hands the storage over; the buffer is left empty.
  [[nodiscard]] WCHAR* release();

 private:
  WCHAR* units_ = nullptr;
  std::size_t length_ = 0;
  std::size_t capacity_ = 0;
};

// The text as UTF-16, each ill-formed sequence as U+FFFD, never reading past the text.
// Empty text takes no storage; otherwise the buffer starts at max(4, the units still to come
// at least, plus one) and doubles when full, unless the bytes ahead ask for more.
Utf16Buffer utf8_to_utf16(std::string_view text);

}  // namespace tembra
