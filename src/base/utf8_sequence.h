// Facts about UTF-8 byte sequences that the console path needs to cut text safely.
#pragma once

#include <cstddef>
#include <string_view>

namespace tembra {

// The length of the sequence a start byte begins; 0 for a byte that begins none.
std::size_t utf8_sequence_width(unsigned char byte);

inline bool is_utf8_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the longest prefix of `bytes` that is well-formed UTF-8.
std::size_t valid_utf8_prefix(std::string_view bytes);

}  // namespace tembra
