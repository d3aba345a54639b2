// UTF-16 text for the platform's wide-string arguments.
#pragma once

#include <cassert>
#include <cstddef>
#include <expected>
#include <memory>
#include <string_view>

#include "platform/win32.h"

namespace tembra {

// A zero code unit stands before the end of the text.
struct [[nodiscard]] InteriorNul {};

// A nul-terminated wide string in storage of exactly its length; no other unit is zero. A
// moved-from string is only destroyed or assigned to.
class [[nodiscard]] WideNulString {
 public:
  [[nodiscard]] static std::expected<WideNulString, InteriorNul> from_utf8(std::string_view text);

  LPCWSTR c_str() const {
    assert(units_ != nullptr);
    return units_.get();
  }
  // Units including the terminating zero.
  std::size_t size_with_nul() const {
    assert(units_ != nullptr);
    return size_;
  }

 private:
  // Whoever still holds the pointer sees an empty string rather than stale text.
  struct BlankAndFree {
    void operator()(WCHAR* units) const;
  };

  WideNulString(WCHAR* units, std::size_t size) : units_(units), size_(size) {}

  std::unique_ptr<WCHAR, BlankAndFree> units_;
  std::size_t size_ = 0;
};

}  // namespace tembra
