#include "base/number_text.h"

namespace tembra {

NumberText::NumberText(std::uint64_t magnitude, unsigned base, bool negative) {
  static constexpr char kDigits[] = "0123456789abcdef";
  do {
    text_[--start_] = kDigits[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  if (negative) {
    text_[--start_] = '-';
  }
}

NumberText NumberText::decimal(std::int64_t value) {
  // Negating through unsigned arithmetic keeps the most negative value exact.
  const auto bits = static_cast<std::uint64_t>(value);
  return value < 0 ? NumberText(std::uint64_t{0} - bits, 10, true) : NumberText(bits, 10, false);
}

}  // namespace tembra
