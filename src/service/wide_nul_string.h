// UTF-16 text for the platform's wide-string arguments.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

// A growable run of UTF-16 code units; the sole owner of its storage. Empty owns none.
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

  // Grows the storage to exactly `capacity` units (never below the length).
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

// The text as UTF-16. Ill-formed UTF-8 never reads past the text: each ill-formed sequence
// (the longest prefix of a valid sequence, or one byte) becomes U+FFFD.
Utf16Buffer utf8_to_utf16(std::string_view text);

// A zero code unit stands before the end of the text.
struct [[nodiscard]] InteriorNul {};

// A nul-terminated wide string in storage of exactly its length; no other unit is zero.
class [[nodiscard]] WideNulString {
 public:
  [[nodiscard]] static std::expected<WideNulString, InteriorNul> from_utf8(std::string_view text);

  WideNulString(WideNulString&& other) noexcept;
  WideNulString& operator=(WideNulString&& other) noexcept;
  WideNulString(const WideNulString&) = delete;
  WideNulString& operator=(const WideNulString&) = delete;
  ~WideNulString();

  LPCWSTR c_str() const { return units_; }
  // Units including the terminating zero.
  std::size_t size_with_nul() const { return size_; }

 private:
  WideNulString(WCHAR* units, std::size_t size) : units_(units), size_(size) {}
  void release();

  WCHAR* units_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tembra
