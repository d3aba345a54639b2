// UTF-16 text for the platform's wide-string arguments.
#pragma once

#include <cstddef>
#include <expected>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

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
