#include "service/wide_nul_string.h"

#include <algorithm>

#include "console/process_heap.h"
#include "service/utf16_buffer.h"

namespace tembra {

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

void WideNulString::BlankAndFree::operator()(WCHAR* units) const {
  units[0] = 0;
  heap_free(units);
}

}  // namespace tembra
