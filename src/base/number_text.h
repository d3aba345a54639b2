// A number's digits in storage of their own: no heap, so that even the ending for a failed
// allocation can show the size it asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tembra {

class NumberText {
 public:
  // Decimal, without fill.
  [[nodiscard]] static NumberText decimal(std::uint64_t value) { return {value, 10, false}; }
  // Decimal with a leading '-' for negative values, without fill.
  [[nodiscard]] static NumberText decimal(std::int64_t value);
  // Lower-case hexadecimal, without prefix or fill.
  [[nodiscard]] static NumberText hex(std::uint64_t value) { return {value, 16, false}; }

  std::string_view view() const { return {text_ + start_, sizeof text_ - start_}; }

 private:
  NumberText(std::uint64_t magnitude, unsigned base, bool negative);

  // The longest: the 20 digits of 2^64 - 1, or '-' and the 19 digits of 2^63.
  char text_[20];
  std::size_t start_ = sizeof text_;
};

}  // namespace tembra
